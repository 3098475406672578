#include "tray/tray_text.h"

namespace pigeonet {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `pos` and advances past it; malformed sequences (bad lead byte, missing or bad
// continuation, overlong form, surrogate code point, beyond U+10FFFF) yield U+FFFD for one byte.
char32_t DecodeOne(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++pos;
        return kReplacement;
    }
    if (pos + length > text.size()) {
        ++pos;
        return kReplacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += length;
    return value;
}

}  // namespace

std::u16string CutToUtf16Units(std::string_view utf8, std::size_t maxUnits) {
    std::u16string result;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t code = DecodeOne(utf8, pos);
        if (code >= 0x10000) {
            if (result.size() + 2 > maxUnits) {
                break;
            }
            const char32_t offset = code - 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (offset >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (offset & 0x3FF)));
        } else {
            if (result.size() + 1 > maxUnits) {
                break;
            }
            result.push_back(static_cast<char16_t>(code));
        }
    }
    return result;
}

int ClampIconIndex(int requested, int count) {
    if (count <= 0 || requested < 0) {
        return 0;
    }
    return requested >= count ? count - 1 : requested;
}

int NextCycleIndex(int current, int count) {
    return current < count - 1 ? current + 1 : 0;
}

TrayMouseAction TrayMouseInput::Handle(std::uint32_t mouseMessage, bool enabled) {
    if (!enabled) {
        return TrayMouseAction::None;
    }
    switch (mouseMessage) {
        case kLeftDown:
            armed_ = true;
            return TrayMouseAction::None;
        case kLeftUp: {
            const bool wasArmed = armed_;
            armed_ = false;
            return wasArmed ? TrayMouseAction::Click : TrayMouseAction::None;
        }
        case kLeftDoubleClick:
            return TrayMouseAction::RunDefaultItem;
        case kRightDown:
            return TrayMouseAction::OpenMenu;
        default:
            return TrayMouseAction::None;
    }
}

}  // namespace pigeonet
