#include "util/error_display_win32.h"

#include "util/errors.h"
#include "util/unicode_win32.h"

namespace pigeonet {

namespace {

HWND errorOwner = nullptr;
ErrorDisplay replacementDisplay;

}  // namespace

void SetErrorDisplayOwner(HWND owner) {
    errorOwner = owner;
}

void SetErrorDisplay(ErrorDisplay display) {
    replacementDisplay = std::move(display);
}

void ShowApplicationError(const std::exception& failure) {
    const std::string text = ErrorDisplayText(failure.what());
    if (replacementDisplay) {
        replacementDisplay(text);
        return;
    }
    // Messages may carry a server's own words in whatever code page it answers in.
    const HWND owner = IsWindow(errorOwner) ? errorOwner : nullptr;
    MessageBoxW(owner, WidenForeign(text).c_str(), L"Pigeonet", MB_OK | MB_ICONSTOP);
}

}  // namespace pigeonet
