#pragma once

// The tray icon's test fixture: a TrayIcon over a recording shell and desktop, configured as the main window
// configures it, with an image list and a two-item menu whose default item is "Open mail".

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "support/tray_test_windows_win32.h"
#include "tray/tray_icon_win32.h"
#include "tray/tray_pictures_win32.h"

namespace pigeonet::testing {

constexpr UINT kOpenMailId = 106;
constexpr UINT kCheckId = 107;

class TrayIconTest : public ::testing::Test {
  protected:
    TrayIconTest() : desktop(windows), list(CreateTrayImageList()), menu(CreatePopupMenu()) {
        AppendMenuW(menu.get(), MF_STRING, kCheckId, L"Check");
        AppendMenuW(menu.get(), MF_STRING, kOpenMailId, L"Open mail");
        SetMenuDefaultItem(menu.get(), kOpenMailId, FALSE);
    }

    // The main window's part: create, configure as stored, end loading; the calls so far are forgotten.
    void Start() {
        tray = std::make_unique<TrayIcon>(windows.application, windows.main, shell, desktop);
        tray->ApplyStoredProperties(list.get(), menu.get(), [this](TrayIcon& sender) {
            EXPECT_EQ(&sender, tray.get());
            ++clicks;
        });
        tray->Loaded();
        callback = shell.calls.back().record.hWnd;
        shell.calls.clear();
    }

    LRESULT Mouse(UINT mouseMessage) {
        return SendMessageW(callback, TrayIcon::kCallbackMessage, tray->Id(), mouseMessage);
    }

    const RecordingShell::Call& Last() const { return shell.calls.back(); }

    // Pumps messages until the last shell call carries `picture`, allowing a loaded machine to be slow.
    bool ShowsSoon(Picture picture) {
        return PumpUntil([&] { return !shell.calls.empty() && Last().picture == picture; }, 2000);
    }

    TestWindows windows;
    RecordingShell shell;
    RecordingDesktop desktop;
    UniqueImageList list;
    UniqueMenu menu;
    int clicks = 0;
    HWND callback = nullptr;  // the shared window the shell's callback message goes to
    std::unique_ptr<TrayIcon> tray;
};

}  // namespace pigeonet::testing
