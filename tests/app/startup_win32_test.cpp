#include "support/program_under_test_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace pigeonet {
namespace {

using namespace std::chrono_literals;
using testing::FindProcessWindow;
using testing::ProgramUnderTest;
using testing::WaitUntil;

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Zelvik", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// A window of this test process that may stand in the way of a start: unowned, top level, never shown.
class TitledWindow {
  public:
    explicit TitledWindow(const wchar_t* title) {
        window_ = CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    ~TitledWindow() { DestroyWindow(window_); }
    HWND Handle() const { return window_; }

  private:
    HWND window_;
};

TEST(Startup, StaysResidentAndCreatesTheSettingsKey) {
    testing::ForgetSettings();
    ProgramUnderTest program;
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(program.ProcessId(), L"TForm1") != nullptr; }, 10s));
    EXPECT_TRUE(SettingsKeyExists());
    // The main window is never shown at start, and is parked below the screen.
    const HWND mainWindow = FindProcessWindow(program.ProcessId(), L"TForm1");
    EXPECT_FALSE(IsWindowVisible(mainWindow));
    RECT frame{};
    GetWindowRect(mainWindow, &frame);
    EXPECT_EQ(frame.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(program.WaitForExit(2s), -1) << "it stays resident";
    program.Close();
    EXPECT_EQ(program.WaitForExit(10s), 0) << "exit closes the main window and ends the program";
}

TEST(Startup, ASecondStartEndsAtOnceWhileTheFirstKeepsRunning) {
    ProgramUnderTest first;
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(first.ProcessId(), L"TForm1") != nullptr; }, 10s));
    ProgramUnderTest second;
    EXPECT_EQ(second.WaitForExit(10s), 0);
    EXPECT_TRUE(first.Running());
    first.Close();
    EXPECT_EQ(first.WaitForExit(10s), 0);
}

TEST(Startup, AnotherProgramsWindowTitledExactlyPigeonetPreventsTheStart) {
    const struct {
        const wchar_t* title;
        bool starts;
    } cases[] = {{L"Pigeonet", false}, {L"pigeonet", true}, {L"Pigeonet - Inbox", true}};
    for (const auto& c : cases) {
        TitledWindow blocker(c.title);
        ProgramUnderTest program;
        if (c.starts) {
            EXPECT_TRUE(WaitUntil([&] { return FindProcessWindow(program.ProcessId(), L"TForm1") != nullptr; }, 10s))
                << "with a window titled " << std::string(c.title, c.title + wcslen(c.title));
            program.Close();
            EXPECT_EQ(program.WaitForExit(10s), 0);
        } else {
            EXPECT_EQ(program.WaitForExit(10s), 0);
        }
    }
}

}  // namespace
}  // namespace pigeonet
