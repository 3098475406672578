#pragma once

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace pigeonet {

// Registers the program's window class `className` with `procedure`, unless the process has it already.
void RegisterWindowClass(const wchar_t* className, WNDPROC procedure);

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
                HWND owner) {
        RegisterWindowClass(className, &Window::Procedure);
        CreateWindowExW(exStyle, className, title.c_str(), style, x, y, width, height, owner, nullptr,
                        GetModuleHandleW(nullptr), this);
        if (!window_) {
            throw std::runtime_error("Cannot create a window");
        }
    }

    // The default handling of every message not handled by the derived window.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

// A window that only receives messages: top-level, never shown, and without a title, so the single-instance search
// never takes it for the program's application window. nullptr when Windows refuses it.
HWND CreateHiddenWindow(const wchar_t* className, WNDPROC procedure);

// One hidden window shared by every object of a kind that needs a window only to receive messages (the tray icons'
// shell callbacks, the timers' ticks): created when the first object joins, destroyed when the last one leaves.
// Its procedure finds the object a message is meant for with Find.
template <typename Member>
class SharedHiddenWindow {
  public:
    constexpr SharedHiddenWindow(const wchar_t* className, WNDPROC procedure)
        : className_(className), procedure_(procedure) {}
    SharedHiddenWindow(const SharedHiddenWindow&) = delete;
    SharedHiddenWindow& operator=(const SharedHiddenWindow&) = delete;

    // The shared window, created for the first member.
    HWND Join(Member* member) {
        if (members_.empty()) {
            window_ = CreateHiddenWindow(className_, procedure_);
        }
        members_.push_back(member);
        return window_;
    }

    void Leave(Member* member) {
        std::erase(members_, member);
        if (members_.empty() && window_) {
            DestroyWindow(std::exchange(window_, nullptr));
        }
    }

    // The member `matches` picks, nullptr when none has joined.
    template <typename Predicate>
    Member* Find(Predicate matches) const {
        const auto found = std::find_if(members_.begin(), members_.end(), matches);
        return found == members_.end() ? nullptr : *found;
    }

  private:
    const wchar_t* className_;
    WNDPROC procedure_;
    HWND window_ = nullptr;
    std::vector<Member*> members_;
};

// Processes every pending message of the GUI thread, then returns. A WM_QUIT met on the way is posted again so
// the main message loop still sees it.
void ProcessPendingMessages();

}  // namespace pigeonet
