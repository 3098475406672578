#pragma once

#include <windows.h>

namespace pigeonet {

// The desktop effects of the popup menu and of bringing the main window forward.
class TrayDesktop {
  public:
    virtual ~TrayDesktop() = default;
    virtual void SetForeground(HWND window) = 0;
    // The cursor position in screen coordinates; false when it cannot be read.
    virtual bool CursorPosition(POINT& position) = 0;
    // Runs every message waiting for the GUI thread, so a due timer tick is served before the menu opens.
    virtual void ProcessPendingMessages() = 0;
    // Shows `menu` with its top-left corner at `position` and returns when it closes; the chosen item's WM_COMMAND
    // goes to `owner`.
    virtual void TrackMenu(HMENU menu, POINT position, HWND owner) = 0;
};

// The real desktop: SetForegroundWindow, GetCursorPos, a PeekMessageW loop, TrackPopupMenu.
class SystemTrayDesktop final : public TrayDesktop {
  public:
    void SetForeground(HWND window) override;
    bool CursorPosition(POINT& position) override;
    void ProcessPendingMessages() override;
    void TrackMenu(HMENU menu, POINT position, HWND owner) override;
};

}  // namespace pigeonet
