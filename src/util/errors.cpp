#include "util/errors.h"

namespace pigeonet {

std::string ErrorDisplayText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
        text += '.';
    }
    return text;
}

std::string FormatMessageText(std::string_view pattern, std::string_view argument) {
    std::string text(pattern);
    const auto at = text.find("%s");
    if (at != std::string::npos) {
        text.replace(at, 2, argument);
    }
    return text;
}

}  // namespace pigeonet
