#pragma once

#include "util/handles_win32.h"

#include <windows.h>

#include <functional>
#include <string>

namespace pigeonet {

// Small helpers the two dialogs build their controls with. Texts are UTF-8.

// The dialogs' control font: Tahoma 8 pt at the screen's resolution, as the windows were designed with.
// `height` in pixels (character height); `bold` for the header title.
UniqueFont MakeTahoma(int height, bool bold = false);
inline constexpr int kControlFontHeight = 11;

HWND CreateControl(HWND parent,
                   const wchar_t* className,
                   const std::string& text,
                   DWORD style,
                   int x,
                   int y,
                   int width,
                   int height,
                   int id,
                   HFONT font,
                   DWORD exStyle = 0);

std::string WindowText(HWND window);
void SetWindowText(HWND window, const std::string& text);

// An empty child dialog that holds one tab's controls: being a dialog, it draws the tab's themed background
// under Common Controls 6 and takes part in the Tab key's walk (DS_CONTROL). Messages its controls send
// (WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_DRAWITEM) are passed on to `forwardTo`.
HWND CreateTabPage(HWND parent, HWND forwardTo, const RECT& bounds);

// Enter, Escape and Tab for top-level windows that are not dialog boxes: while `window` is registered, keyboard
// messages for it and its children go through IsDialogMessageW in whichever message loop fetches them (the
// application's loop, the idle pump of a check round, a modal loop). Enter presses IDOK, Escape IDCANCEL.
void RegisterDialogKeys(HWND window);
void UnregisterDialogKeys(HWND window);

// A tooltip that shows `hint` over `tool` (any child window); an empty hint shows nothing.
class Hints {
  public:
    void Attach(HWND owner);
    void Set(HWND tool, const std::string& hint);
    ~Hints();

  private:
    HWND tooltip_ = nullptr;
};

}  // namespace pigeonet
