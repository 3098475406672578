#pragma once

#include <string>
#include <string_view>

namespace pigeonet {

// The only place text changes encoding: UTF-8 inside the program, UTF-16 at the call into a W function.
// Invalid UTF-8 becomes U+FFFD; unpaired surrogates likewise.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace pigeonet
