#pragma once

#include "util/window_win32.h"

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace pigeonet {

// What the settings dialog and the account editor have in common. Each is a top-level window with a fixed dialog
// border rather than a dialog box, because it lives from start-up to exit and the rest of the program reads and
// drives its controls directly; it still answers Enter, Escape and Tab as a dialog box does. It stands where it
// was placed at creation, knows its controls by the names the language switch and the tests use, and takes
// closing by the title bar as the user's Cancel.
class DialogForm : public Window {
  public:
    ~DialogForm() override;

    // The control of that name; nullptr for a name the form does not have.
    HWND ControlHandle(std::string_view controlName) const;

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
    void Name(std::string name, HWND control) { controls_[std::move(name)] = control; }
    HWND Control(std::string_view name) const { return ControlHandle(name); }

    // Closing by the title bar: each form runs its Cancel.
    virtual void CloseByTitleBar() = 0;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    std::map<std::string, HWND, std::less<>> controls_;
};

}  // namespace pigeonet
