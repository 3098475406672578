#include "settings/settings_dialog_rules.h"

#include "settings/live_settings.h"
#include "util/text.h"

#include <algorithm>

namespace pigeonet {

int DisplayTimeFromText(std::string_view text) {
    const auto value = ParseInt32(text);
    if (!value) {
        return kMinDisplayTime;
    }
    return std::clamp(*value, kMinDisplayTime, kMaxDisplayTime);
}

std::string AccountEditorCaption(std::string_view buttonCaption) {
    return std::string(buttonCaption) + " E-mail";
}

WindowOrigin NearBottomRight(int screenWidth,
                             int screenHeight,
                             int windowWidth,
                             int windowHeight,
                             int right,
                             int bottom) {
    return {screenWidth - windowWidth - right, screenHeight - windowHeight - bottom};
}

}  // namespace pigeonet
