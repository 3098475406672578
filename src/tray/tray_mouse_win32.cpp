#include "tray/tray_icon_win32.h"

#include <memory>

#include "util/error_display_win32.h"
#include "util/window_win32.h"

namespace pigeonet {

void SystemTrayDesktop::SetForeground(HWND window) {
    SetForegroundWindow(window);
}

bool SystemTrayDesktop::CursorPosition(POINT& position) {
    return GetCursorPos(&position) != FALSE;
}

void SystemTrayDesktop::ProcessPendingMessages() {
    ::pigeonet::ProcessPendingMessages();
}

void SystemTrayDesktop::TrackMenu(HMENU menu, POINT position, HWND owner) {
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, position.x, position.y, 0, owner, nullptr);
}

void TrayIcon::HandleCallback(UINT mouseMessage) {
    GuardEvent([&] {
        switch (mouse_.Handle(mouseMessage, enabled_)) {
            case TrayMouseAction::Click:
                if (OnClick) {
                    OnClick(*this);
                }
                break;
            case TrayMouseAction::RunDefaultItem:
                RunDefaultItem();
                break;
            case TrayMouseAction::OpenMenu:
                OpenMenu();
                break;
            case TrayMouseAction::None:
                break;
        }
    });
}

void TrayIcon::RunDefaultItem() {
    if (!popupMenu_) {
        return;
    }
    const int count = GetMenuItemCount(popupMenu_);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(popupMenu_, static_cast<UINT>(position), TRUE, &item) || !(item.fState & MFS_DEFAULT)) {
            continue;
        }
        // The first default item is the one, visible or not; a disabled one does nothing, like a disabled menu
        // choice, and an item that only opens a submenu has no command of its own.
        if ((item.fState & MFS_DISABLED) || item.hSubMenu) {
            return;
        }
        SendMessageW(mainWindow_, WM_COMMAND, MAKEWPARAM(item.wID, 0), 0);
        return;
    }
}

void TrayIcon::OpenMenu() {
    POINT position{};
    if (!popupMenu_ || !desktop_.CursorPosition(position)) {
        return;
    }
    // Without the foreground the menu would not close when the user clicks elsewhere.
    desktop_.SetForeground(applicationWindow_);
    const std::weak_ptr<bool> alive = alive_;
    desktop_.ProcessPendingMessages();
    if (alive.expired() || !popupMenu_) {
        return;  // a command run by the pending messages ended the tray icon or took its menu away
    }
    desktop_.TrackMenu(popupMenu_, position, mainWindow_);
    if (alive.expired()) {
        return;
    }
    // Lets the menu's owner finish with the menu; without it a second right click may need two clicks.
    PostMessageW(mainWindow_, WM_NULL, 0, 0);
}

}  // namespace pigeonet
