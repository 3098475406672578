#pragma once

#include <string>
#include <string_view>

namespace pigeonet {

// The only place text changes encoding: UTF-8 inside the program, UTF-16 at the call into a W function.
// Invalid UTF-8 becomes U+FFFD; unpaired surrogates likewise.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// For text that came from outside as bytes (a mail server's reply): UTF-8 when it is valid UTF-8, otherwise the
// system's ANSI code page, which is what a server answering in an 8-bit Cyrillic code page most likely meant.
std::wstring WidenForeign(std::string_view bytes);

}  // namespace pigeonet
