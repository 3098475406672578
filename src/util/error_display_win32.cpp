#include "util/error_display_win32.h"

#include "util/errors.h"
#include "util/scope_exit.h"
#include "util/unicode_win32.h"

#include <utility>

namespace pigeonet {

namespace {

ErrorDisplay* installedDisplay = nullptr;
int showing = 0;  // displays open now, nested in each other's message loops

}  // namespace

void MessageBoxErrorDisplay::Show(const std::string& text) {
    // Messages may carry a server's own words in whatever code page it answers in.
    MessageBoxW(IsWindow(owner_) ? owner_ : nullptr, WidenForeign(text).c_str(), L"Pigeonet", MB_OK | MB_ICONSTOP);
}

ErrorDisplayScope::ErrorDisplayScope(ErrorDisplay& display) : previous_(std::exchange(installedDisplay, &display)) {}

ErrorDisplayScope::~ErrorDisplayScope() {
    installedDisplay = previous_;
}

void ShowApplicationError(const std::exception& failure) {
    const std::string text = ErrorDisplayText(failure.what());
    ++showing;
    const ScopeExit shown([] { --showing; });
    if (installedDisplay) {
        installedDisplay->Show(text);
    } else {
        MessageBoxErrorDisplay().Show(text);
    }
}

bool ApplicationErrorShowing() {
    return showing > 0;
}

}  // namespace pigeonet
