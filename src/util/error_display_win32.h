#pragma once

#include <windows.h>

#include <exception>
#include <stdexcept>
#include <string>

namespace pigeonet {

// Where the application's failures are shown: the text exactly as the box shows it (UTF-8).
class ErrorDisplay {
  public:
    virtual ~ErrorDisplay() = default;
    virtual void Show(const std::string& text) = 0;
};

// The real display: a modal box owned by `owner` (the application window, or none), caption "Pigeonet", one OK
// button and the stop icon.
class MessageBoxErrorDisplay final : public ErrorDisplay {
  public:
    explicit MessageBoxErrorDisplay(HWND owner = nullptr) : owner_(owner) {}
    void Show(const std::string& text) override;

  private:
    HWND owner_;
};

// Makes `display` the application's error display for the scope's life; the one before it comes back after. Start-up
// installs the box owned by the application window; tests install their own.
class ErrorDisplayScope {
  public:
    explicit ErrorDisplayScope(ErrorDisplay& display);
    ~ErrorDisplayScope();
    ErrorDisplayScope(const ErrorDisplayScope&) = delete;
    ErrorDisplayScope& operator=(const ErrorDisplayScope&) = delete;

  private:
    ErrorDisplay* previous_;
};

// The application's error display: every failure that escapes an event handler or timer tick ends here, and the
// program goes on running. The display installed now shows the failure's message after the "." rule
// (ErrorDisplayText); with none installed (a start that failed before the application window existed) an unowned
// box does.
void ShowApplicationError(const std::exception& failure);

// True while the application's error display is showing a failure: a box waits for its OK (and its message loop
// runs the program's timers meanwhile). Callers that would show the same failure again each time hold it back.
bool ApplicationErrorShowing();

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
