#pragma once

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tray/simple_timer_win32.h"
#include "tray/tray_mouse_win32.h"
#include "tray/tray_notify_win32.h"
#include "tray/tray_text.h"
#include "util/handles_win32.h"

namespace pigeonet {

// The program's one icon in the notification area: tooltip, balloon, flashing by alternating the images of an image
// list, the popup menu on a right press with its default item on a double click, and a click event.
//
// Creating it registers nothing yet. The main window then calls, in this order, ApplyStoredProperties (the icon is
// added to the notification area there) and Loaded. Destroying it removes the icon at once, then gives back the two
// windows' procedures. The windows, the image list and the menu must outlive the TrayIcon (or be unset first).
//
// The TrayIcon watches two windows by replacing their window procedures (every message is passed on unchanged):
// the application window, for the shell's "TaskbarCreated" broadcast that re-adds the icon, and the main window,
// which is brought to the front whenever it is shown.
class TrayIcon {
  public:
    using ClickHandler = std::function<void(TrayIcon& sender)>;

    // The callback message the shell sends to the shared callback window: wParam the icon id, lParam the mouse
    // message.
    static constexpr UINT kCallbackMessage = WM_USER + 1024;

    // With the real shell and desktop.
    TrayIcon(HWND applicationWindow, HWND mainWindow);
    TrayIcon(HWND applicationWindow, HWND mainWindow, ShellNotify& shell, TrayDesktop& desktop);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The main window's stored configuration, in its order: the image list (selecting image 0), cycling allowed
    // with no interval, the program's own icon (image 0 of the list when the executable has none), the Add, image
    // 0, the menu and the click handler.
    void ApplyStoredProperties(HIMAGELIST iconList, HMENU popupMenu, ClickHandler onClick);
    // End of loading: a Modify, the Add again, cycling applied (image 0, no flashing), then NIM_SETVERSION with
    // version 0, which keeps the classic callback form the mouse handling relies on.
    void Loaded();

    // The tooltip, UTF-8. Up to 127 UTF-16 units reach the shell; the text is sent as is, carriage returns included.
    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    // Not owned. Setting it selects image 0.
    HIMAGELIST IconList() const { return iconList_; }
    void SetIconList(HIMAGELIST list);
    // Selects that image of IconList (past the end: the last one; no list: 0) and shows it.
    int IconIndex() const { return iconIndex_; }
    void SetIconIndex(int index);
    bool CycleIcons() const { return cycleIcons_; }
    void SetCycleIcons(bool cycle);
    // Milliseconds; non-zero means flashing. Setting it shows image 0 and (re)starts the rhythm from there; 0 stops.
    std::uint32_t CycleInterval() const { return cycleInterval_; }
    void SetCycleInterval(std::uint32_t milliseconds);
    // The picture handed to the shell; SetIcon keeps a copy of `icon` (nullptr: no picture).
    HICON Icon() const { return icon_.get(); }
    void SetIcon(HICON icon);
    // true adds the icon to the notification area, false removes it.
    bool IconVisible() const { return iconVisible_; }
    void SetIconVisible(bool visible);
    // Removes the icon for good, as the program ends, waiting at most `limit` for the shell's answer; whether the
    // shell answered that it is gone. A shell that is slow to answer (Wine's hides its emptied tray window first,
    // which takes it two seconds) still removes it, after the process may have ended. From then on nothing reaches
    // the shell any more, the destruction's removal included.
    bool Withdraw(std::chrono::milliseconds limit);
    // While false, mouse input on the icon is ignored.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    // Not owned; a popup menu (CreatePopupMenu). Its commands go to the main window as WM_COMMAND.
    HMENU PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(HMENU menu) { popupMenu_ = menu; }

    // Shows a balloon at the icon: title up to 63 and text up to 255 UTF-16 units, `seconds` (at most 255) as the
    // time-out. Whether the shell accepted it.
    bool ShowBalloon(std::string_view title, std::string_view text, BalloonIcon kind, unsigned seconds);

    // Hides the application window when it is visible, so the program has no taskbar button.
    void HideTaskbarButton();

    // A single left click on the icon, raised at the release. Failures escaping it, the menu or the flashing go to
    // the application's error display; nothing ever leaves a window procedure.
    ClickHandler OnClick;

    // The id the shell knows the icon by (the instance's address, truncated).
    UINT Id() const { return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(this)); }

    // Window procedures' entry points; not for the program's own use.
    void HandleCallback(UINT mouseMessage);
    void WatchedApplicationMessage(UINT message);
    void WatchedMainMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void ApplyCycleIcons();
    void CycleStep();
    // The shell calls and the balloon (tray_notify_win32.cpp).
    void PrepareRecord(HWND callbackWindow);
    bool Add();
    bool Remove();
    bool Modify();
    bool Call(DWORD message);
    void RefreshRecord();
    // The mouse input and the popup menu (tray_mouse_win32.cpp).
    void RunDefaultItem();
    void OpenMenu();

    HWND applicationWindow_;
    HWND mainWindow_;
    ShellNotify& shell_;
    TrayDesktop& desktop_;
    NOTIFYICONDATAW record_{};

    std::string hint_;
    bool showHint_ = true;
    HIMAGELIST iconList_ = nullptr;
    int iconIndex_ = 0;
    bool cycleIcons_ = false;
    std::uint32_t cycleInterval_ = 0;
    UniqueIcon icon_;
    bool iconVisible_ = false;
    bool withdrawn_ = false;
    bool enabled_ = true;
    HMENU popupMenu_ = nullptr;
    bool loading_ = true;
    TrayMouseInput mouse_;
    std::unique_ptr<TSimpleTimer> cycleTimer_;
    // Expires with the instance: lets a handler notice that a nested message loop destroyed it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace pigeonet
