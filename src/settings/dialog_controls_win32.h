#pragma once

#include "util/handles_win32.h"
#include "util/screen_dpi_win32.h"

#include <windows.h>

#include <functional>
#include <string>

namespace pigeonet {

// Small helpers the two dialogs build their controls with. Texts are UTF-8.

// The dialogs are laid out in pixels of a 96 DPI screen. On a screen of another resolution they are scaled by
// DPI/96 as they are created, the way Windows scales a dialog designed at 96 DPI: every position and size given to
// CreateControl and MakeTahoma below is such a designed value, and the windows scale their own sizes with Scaled.
// The resolution is the system's (ScreenDpi).
// A designed length in pixels of this screen, rounded to the nearest pixel.
int Scaled(int designed);
RECT Scaled(const RECT& designed);

// The dialogs' control font: Tahoma 8 pt at the screen's resolution, as the windows were designed with.
// `height` in designed pixels (character height, scaled here); `bold` for the header title.
UniqueFont MakeTahoma(int height, bool bold = false);
inline constexpr int kControlFontHeight = 11;
// The height of a line of text in `font`, in pixels: what a one-line label needs not to clip its descenders.
int LineHeight(HFONT font);
// The width of `text` (UTF-8) in `font`, in pixels.
int TextWidth(HFONT font, const std::string& text);
// Where a check box's text starts, in designed pixels: the box and the gap after it.
inline constexpr int kCheckBoxTextOffset = 16;

// Creates a child control; position and size are designed values (scaled here). On a screen of another resolution
// a left-aligned label or a check box grows by the pixels its text needs beyond the scaled width.
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
