#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <stdexcept>
#include <string>

namespace pigeonet {

// The application's default error display: every failure that escapes an event handler or timer tick ends here,
// and the program goes on running. It shows a modal box owned by the application window, caption "Pigeonet", one
// OK button and the stop icon, with the failure's message after the "." rule (ErrorDisplayText).
void ShowApplicationError(const std::exception& failure);

// The window that owns the error box (the application window); set once at start-up.
void SetErrorDisplayOwner(HWND owner);

// Tests replace the message box: the display receives the text exactly as the box would show it (UTF-8). An empty
// function restores the message box.
using ErrorDisplay = std::function<void(const std::string& text)>;
void SetErrorDisplay(ErrorDisplay display);

// Runs `handler`, sending any failure to the error display: the boundary of every window procedure and callback
// that Windows calls, so no exception crosses into the system.
template <typename Handler>
void GuardEvent(Handler&& handler) noexcept {
    try {
        handler();
    } catch (const std::exception& failure) {
        ShowApplicationError(failure);
    } catch (...) {
        ShowApplicationError(std::runtime_error("Unknown failure"));
    }
}

}  // namespace pigeonet
