#include "util/window_text_win32.h"

#include "util/unicode_win32.h"

#include <algorithm>

namespace pigeonet {

std::string WindowTextUtf8(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return Narrow(text);
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
    SetWindowTextW(window, Widen(text).c_str());
}

}  // namespace pigeonet
