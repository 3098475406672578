#pragma once

#include <cstddef>
#include <string_view>

namespace pigeonet {

// One step through UTF-8 text. A byte that does not start a well-formed sequence (a stray continuation byte, a
// lead byte without all its continuation bytes, an overlong form, a surrogate, a code point beyond U+10FFFF) is
// invalid on its own: it takes one byte and stands for U+FFFD, and decoding goes on at the next byte, so a damaged
// sequence never swallows the valid text after it.
struct Utf8Step {
    char32_t code = 0;       // the code point; U+FFFD when not valid
    std::size_t length = 0;  // bytes taken, 1 to 4
    bool valid = false;
};

// The sequence that starts at `text[at]`; `at` must be inside `text`.
Utf8Step DecodeUtf8(std::string_view text, std::size_t at);

// How many characters `text` shows as: its code points, each invalid byte counting as one.
std::size_t CountCodePoints(std::string_view text);

}  // namespace pigeonet
