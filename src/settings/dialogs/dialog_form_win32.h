#pragma once

#include "util/window_win32.h"

#include <windows.h>

namespace pigeonet {

// What the settings dialog and the account editor have in common. Each is a top-level window with a fixed dialog
// border rather than a dialog box, because it lives from start-up to exit and the rest of the program reads and
// drives its controls directly; it still answers Enter, Escape and Tab as a dialog box does. It stands where it
// was placed at creation and takes closing by the title bar as the user's Cancel. Each form holds its own controls
// as typed members.
class DialogForm : public Window {
  public:
    ~DialogForm() override;

  protected:
    // The client area's size and the outer window's distance from the screen's right and bottom edges, all in
    // designed pixels.
    struct Placement {
        int clientWidth;
        int clientHeight;
        int right;
        int bottom;
    };

    // Creates the window (WS_POPUP, WS_CAPTION and WS_SYSMENU are added to `style`) and gives it the dialog keys.
    void CreateForm(const wchar_t* className, DWORD style, const wchar_t* caption, Placement placement, HWND owner);

    // Closing by the title bar: each form runs its Cancel.
    virtual void CloseByTitleBar() = 0;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

}  // namespace pigeonet
