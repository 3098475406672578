#include "tray/tray_icon_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/recording_error_display_win32.h"
#include "support/tray_icon_fixture_win32.h"
#include "util/error_display_win32.h"
#include "util/errors.h"

namespace pigeonet {
namespace {

using ::testing::ElementsAre;
using testing::kCheckId;
using testing::kOpenMailId;
using testing::MainLog;
using testing::PumpFor;
using testing::RecordingDesktop;
using testing::RecordingShell;
using testing::TestWindows;
using testing::TrayIconTest;

TEST_F(TrayIconTest, ClickIsRaisedAtTheReleaseAfterAPress) {
    Start();
    Mouse(WM_MOUSEMOVE);
    Mouse(WM_LBUTTONDOWN);
    EXPECT_EQ(clicks, 0);
    Mouse(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    Mouse(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 1);
    Mouse(WM_RBUTTONUP);
    Mouse(WM_MBUTTONDOWN);
    Mouse(WM_MBUTTONUP);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(MainLog().commands.empty());
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(TrayIconTest, DoubleClickRaisesOneClickAndRunsTheDefaultItemOnce) {
    Start();
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) {
        Mouse(message);
    }
    EXPECT_EQ(clicks, 1);
    EXPECT_THAT(MainLog().commands, ElementsAre(kOpenMailId));

    Mouse(WM_LBUTTONDOWN);
    Mouse(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 2);
    EXPECT_THAT(MainLog().commands, ElementsAre(kOpenMailId));
}

TEST_F(TrayIconTest, DefaultItemIsTheFirstMarkedTopLevelItemAndDoesNothingWhenDisabled) {
    Start();
    // Hidden-ness plays no part, a disabled default item is not skipped for a later one.
    UniqueMenu other(CreatePopupMenu());
    AppendMenuW(other.get(), MF_STRING, 1, L"one");
    AppendMenuW(other.get(), MF_STRING | MF_GRAYED, 2, L"two");
    AppendMenuW(other.get(), MF_STRING, 3, L"three");
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_STATE;
    item.fState = MFS_DEFAULT | MFS_GRAYED;
    SetMenuItemInfoW(other.get(), 2, FALSE, &item);
    item.fState = MFS_DEFAULT;
    SetMenuItemInfoW(other.get(), 3, FALSE, &item);
    tray->SetPopupMenu(other.get());
    Mouse(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(MainLog().commands.empty());

    item.fState = MFS_DEFAULT;
    SetMenuItemInfoW(other.get(), 2, FALSE, &item);
    Mouse(WM_LBUTTONDBLCLK);
    EXPECT_THAT(MainLog().commands, ElementsAre(2u));

    tray->SetPopupMenu(nullptr);
    Mouse(WM_LBUTTONDBLCLK);
    Mouse(WM_RBUTTONDOWN);
    EXPECT_THAT(MainLog().commands, ElementsAre(2u));
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(TrayIconTest, NothingHappensWhileDisabled) {
    Start();
    tray->SetEnabled(false);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN}) {
        Mouse(message);
    }
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(MainLog().commands.empty());
    EXPECT_TRUE(desktop.events.empty());
    tray->SetEnabled(true);
    Mouse(WM_LBUTTONUP);
    EXPECT_EQ(clicks, 0);
}

TEST_F(TrayIconTest, RightPressOpensTheMenuAtTheCursor) {
    Start();
    desktop.cursor = {300, 200};
    Mouse(WM_RBUTTONDOWN);
    EXPECT_THAT(desktop.events, ElementsAre("foreground application", "pump", "menu at 300,200 to main"));
    EXPECT_EQ(desktop.trackedMenu, menu.get());
    EXPECT_EQ(MainLog().nulls, 0);
    PumpFor(50);
    EXPECT_EQ(MainLog().nulls, 1) << "WM_NULL is posted to the main window after the menu";

    desktop.events.clear();
    Mouse(WM_RBUTTONUP);
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(TrayIconTest, NoMenuWhenTheCursorCannotBeRead) {
    Start();
    desktop.cursorReadable = false;
    Mouse(WM_RBUTTONDOWN);
    EXPECT_TRUE(desktop.events.empty());
}

TEST_F(TrayIconTest, MenuIsNotShownWhenThePendingMessagesEndedTheTrayIcon) {
    // A command run from the pending messages (Exit) may destroy the tray icon before the menu would open.
    struct EndingDesktop : RecordingDesktop {
        using RecordingDesktop::RecordingDesktop;
        void ProcessPendingMessages() override {
            RecordingDesktop::ProcessPendingMessages();
            if (onPump) {
                onPump();
            }
        }
        std::function<void()> onPump;
    } ending(windows);
    tray = std::make_unique<TrayIcon>(windows.application, windows.main, shell, ending);
    tray->ApplyStoredProperties(list.get(), menu.get(), nullptr);
    tray->Loaded();
    const HWND shared = shell.calls.back().record.hWnd;
    const UINT id = tray->Id();
    ending.onPump = [this] { tray.reset(); };
    SendMessageW(shared, TrayIcon::kCallbackMessage, id, WM_RBUTTONDOWN);
    EXPECT_THAT(ending.events, ElementsAre("foreground application", "pump"));
}

TEST_F(TrayIconTest, FailureOfTheClickHandlerGoesToTheApplicationsErrorDisplay) {
    Start();
    const testing::RecordingErrorDisplay display;
    const std::vector<std::string>& shown = display.shown;
    tray->OnClick = [](TrayIcon&) { throw AppError("Cannot start the mail program"); };
    Mouse(WM_LBUTTONDOWN);
    Mouse(WM_LBUTTONUP);
    EXPECT_THAT(shown, ElementsAre("Cannot start the mail program."));
}

TEST(TrayIconSystem, TheRealMenuOpensOnARightPressAndClosesAgain) {
    TestWindows windows;
    UniqueMenu menu(CreatePopupMenu());
    AppendMenuW(menu.get(), MF_STRING, kCheckId, L"Check");
    RecordingShell shell;
    SystemTrayDesktop desktop;
    TrayIcon tray(windows.application, windows.main, shell, desktop);
    tray.ApplyStoredProperties(nullptr, menu.get(), nullptr);
    tray.Loaded();
    // Closes the menu from inside its own loop, as a click elsewhere would.
    static bool closed;
    closed = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        closed = true;
        EndMenu();
    });
    const DWORD start = GetTickCount();
    SendMessageW(shell.calls.back().record.hWnd, TrayIcon::kCallbackMessage, tray.Id(), WM_RBUTTONDOWN);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(closed) << "the press returned only after the menu closed";
    EXPECT_GE(GetTickCount() - start, 250u);
    PumpFor(50);
    EXPECT_EQ(MainLog().nulls, 1);
}

}  // namespace
}  // namespace pigeonet
