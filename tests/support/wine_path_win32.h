#pragma once

#include "util/unicode_win32.h"

#include <string>

namespace pigeonet::testing {

// A path of the machine running Wine as Windows programs under Wine see it: on drive Z:, with backslashes.
inline std::wstring WinePath(const std::string& unixPath) {
    std::wstring path = L"Z:" + Widen(unixPath);
    for (auto& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

}  // namespace pigeonet::testing
