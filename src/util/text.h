#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pigeonet {

// Every occurrence of `find` replaced by `replacement`, case-sensitive, left to right; the scan resumes after each
// inserted replacement, so inserted text is never searched again. An empty `find` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view find, std::string_view replacement);

// The program's one integer conversion, used for stored settings, port texts and message counts: optional
// leading blanks, an optional "+" or "-", then decimal digits, or hexadecimal digits after "$" or "0x"; nothing
// may follow the digits and the value must fit a signed 32-bit integer. Anything else, "" included, is nullopt.
std::optional<std::int32_t> ParseInt32(std::string_view text);

// ParseInt32, failing with AppError "'<text>' is not a valid integer value" where it gives nullopt.
std::int32_t StrToInt(std::string_view text);

// ParseInt32, with `fallback` where it gives nullopt.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

}  // namespace pigeonet
