#include "util/utf8.h"

namespace pigeonet {

Utf8Step DecodeUtf8(std::string_view text, std::size_t at) {
    constexpr Utf8Step kInvalid{0xFFFD, 1, false};
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {lead, 1, true};
    }
    // The sequence's length, the bits its lead byte carries, and the smallest code point that needs this length.
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        smallest = 0x10000;
    } else {
        return kInvalid;
    }
    if (length > text.size() - at) {
        return kInvalid;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return kInvalid;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return kInvalid;
    }
    return {code, length, true};
}

std::size_t CountCodePoints(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += DecodeUtf8(text, at).length) {
        ++count;
    }
    return count;
}

}  // namespace pigeonet
