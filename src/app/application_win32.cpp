#include "app/application_win32.h"

namespace pigeonet {

ApplicationWindow::ApplicationWindow() {
    // Never shown: no WS_VISIBLE, no size. A popup with a caption keeps it a plain top-level window.
    Create(L"TApplication", 0, WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, kApplicationTitle,
           0, 0, 0, 0, nullptr);
}

bool AnotherInstanceRuns(HWND ownWindow, const std::wstring& title) {
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == ownWindow || GetWindow(window, GW_OWNER)) {
            continue;
        }
        wchar_t text[128] = {};
        const int length = GetWindowTextW(window, text, 128);
        if (std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0)) == title) {
            return true;
        }
    }
    return false;
}

}  // namespace pigeonet
