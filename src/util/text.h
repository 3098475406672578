#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// Every occurrence of `find` replaced by `replacement`, case-sensitive, left to right; the scan resumes after each
// inserted replacement, so inserted text is never searched again. An empty `find` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);

// `text` with A..Z as a..z and every other byte, UTF-8 included, as it is: whatever the C locale says, a server
// name, a path or a protocol word folds the same way on every machine.
std::string AsciiLower(std::string_view text);

// Whether `a` and `b` are equal once both are AsciiLower'ed.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The program's one integer conversion, used for stored settings, port texts and message counts: optional
// leading blanks, an optional "+" or "-", then decimal digits, or hexadecimal digits after "$" or "0x"; nothing
// may follow the digits and the value must fit a signed 32-bit integer. Anything else, "" included, is nullopt.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// ParseInt32, failing with AppError "'<text>' is not a valid integer value" where it gives nullopt.
std::int32_t StrToInt(std::string_view text);

// ParseInt32, with `fallback` where it gives nullopt.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

}  // namespace pigeonet
