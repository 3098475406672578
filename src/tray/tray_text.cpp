#include "tray/tray_text.h"

#include "util/utf8.h"

namespace pigeonet {

std::u16string CutToUtf16Units(std::string_view utf8, std::size_t maxUnits) {
    std::u16string result;
    for (std::size_t at = 0; at < utf8.size();) {
        const Utf8Step step = DecodeUtf8(utf8, at);
        at += step.length;
        const char32_t code = step.code;
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
