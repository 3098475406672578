#pragma once

#include "util/handles_win32.h"
#include "util/screen_dpi_win32.h"

#include <windows.h>

#include <map>
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

// The dialogs' control font, Tahoma 8 pt at the screen's resolution: the font their layout leaves room for.
// `height` in designed pixels (character height, scaled here); `bold` for the header title.
UniqueFont MakeTahoma(int height, bool bold = false);
inline constexpr int kControlFontHeight = 11;
// The height of a line of text in `font`, in pixels: what a one-line label needs not to clip its descenders.
int LineHeight(HFONT font);
// The width of `text` (UTF-8) in `font`, in pixels.
int TextWidth(HFONT font, const std::string& text);
// Where a check box's text starts, in designed pixels: the box and the gap after it.
inline constexpr int kCheckBoxTextOffset = 16;

// What kind of child control to create: its window class and styles (WS_CHILD and WS_VISIBLE are added).
struct ControlKind {
    const wchar_t* className;
    DWORD style = 0;
    DWORD exStyle = 0;
};

// A control's position and size in its parent's client area, in designed pixels.
struct DesignedBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Creates a child control; the box is scaled here. On a screen of another resolution a left-aligned label or a
// check box grows by the pixels its text needs beyond the scaled width.
HWND CreateControl(HWND parent, ControlKind kind, const std::string& text, DesignedBox box, int id, HFONT font);

// An empty child dialog that holds one tab's controls: being a dialog, it draws the tab's themed background
// under Common Controls 6 and takes part in the Tab key's walk (DS_CONTROL). Messages its controls send
// (WM_COMMAND, WM_NOTIFY, WM_HSCROLL, WM_DRAWITEM) are passed on to `forwardTo`.
HWND CreateTabPage(HWND parent, HWND forwardTo, const RECT& bounds);

// A tooltip that shows `hint` over `tool` (any child window); an empty hint shows nothing. Keeps each tool's hint
// (UTF-8), which the interval label reads back as its unit word.
class Hints {
  public:
    void Attach(HWND owner);
    void Set(HWND tool, const std::string& hint);
    std::string Text(HWND tool) const;  // "" for a tool without a hint
    ~Hints();

  private:
    HWND tooltip_ = nullptr;
    std::map<HWND, std::string> texts_;
};

}  // namespace pigeonet
