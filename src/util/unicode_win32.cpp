#include "util/unicode_win32.h"

#include <windows.h>

namespace pigeonet {

namespace {

std::wstring ToUtf16(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
    return ToUtf16(CP_UTF8, utf8);
}

std::wstring WidenForeign(std::string_view bytes) {
    const bool utf8 = bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                           static_cast<int>(bytes.size()), nullptr, 0) > 0;
    return ToUtf16(utf8 ? CP_UTF8 : CP_ACP, bytes);
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

}  // namespace pigeonet
