#pragma once

#include <windows.h>

#include <string>

namespace pigeonet {

// Base of the program's own windows: one object per window, the window procedure finds `this` through the
// creation parameter and hands every message to HandleMessage. Failures thrown by a handler never cross into
// Windows: they go to the application's error display and the message gets its default answer.
class Window {
  public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return window_; }

  protected:
    // Registers the window class on first use and creates the window. Failing that is fatal for the program.
    void Create(const wchar_t* className,
                DWORD exStyle,
                DWORD style,
                const std::wstring& title,
                int x,
                int y,
                int width,
                int height,
                HWND owner);

    // The default handling of every message not handled by the derived window.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

// Processes every pending message of the GUI thread, then returns. A WM_QUIT met on the way is posted again so
// the main message loop still sees it.
void ProcessPendingMessages();

}  // namespace pigeonet
