#include "util/error_display_win32.h"
#include "util/errors.h"
#include "util/window_win32.h"

#include "support/recording_error_display_win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pigeonet {
namespace {

// A window whose handler fails the way an event handler of the program can.
class FailingWindow final : public Window {
  public:
    FailingWindow() { Create(L"PigeonetFailingWindow", 0, WS_POPUP, L"failing", 0, 0, 10, 10, nullptr); }

  protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_USER) {
            throw AppError("Read Timeout");
        }
        if (message == WM_USER + 1) {
            throw AppError("-ERR locked\r\n");
        }
        return Window::HandleMessage(message, wParam, lParam);
    }
};

class ErrorDisplayTest : public ::testing::Test {
  protected:
    testing::RecordingErrorDisplay display_;
    std::vector<std::string>& shown_ = display_.shown;
};

TEST_F(ErrorDisplayTest, FailuresOfAHandlerReachTheDisplayAndTheWindowLivesOn) {
    FailingWindow window;
    SendMessageW(window.Handle(), WM_USER, 0, 0);
    SendMessageW(window.Handle(), WM_USER + 1, 0, 0);
    const std::vector<std::string> expected = {"Read Timeout.", "-ERR locked\r\n"};
    EXPECT_EQ(shown_, expected);
    EXPECT_TRUE(IsWindow(window.Handle()));
}

TEST_F(ErrorDisplayTest, GuardEventStopsEveryKindOfFailure) {
    GuardEvent([] { throw AppError("Connection Closed Gracefully."); });
    GuardEvent([] { throw 42; });
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[0], "Connection Closed Gracefully.");
}

// Whoever would show a failure again while its box still waits for the OK can tell.
class DisplayNotingWhetherShowing final : public ErrorDisplay {
  public:
    void Show(const std::string&) override { showingWhileShown.push_back(ApplicationErrorShowing()); }
    std::vector<bool> showingWhileShown;

  private:
    ErrorDisplayScope installed_{*this};
};

TEST(ApplicationErrorShowing, HoldsOnlyWhileTheDisplayShowsAFailure) {
    DisplayNotingWhetherShowing display;
    EXPECT_FALSE(ApplicationErrorShowing());
    GuardEvent([] { throw AppError("Read Timeout"); });
    EXPECT_EQ(display.showingWhileShown, std::vector<bool>{true});
    EXPECT_FALSE(ApplicationErrorShowing()) << "the box is closed";
}

}  // namespace
}  // namespace pigeonet
