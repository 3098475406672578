#include "app/menu_commands.h"

#include <string>

namespace pigeonet {

bool IsWebMailTarget(std::string_view target) {
    const auto prefix = target.substr(0, 5);
    return prefix == "http:" || prefix == "HTTP:";
}

namespace {

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

}  // namespace

bool AutostartMarked(std::string_view runValue, std::string_view executablePath) {
    if (runValue.find("pg") != std::string_view::npos) {
        return true;
    }
    return !executablePath.empty() && AsciiLower(runValue).find(AsciiLower(executablePath)) != std::string::npos;
}

}  // namespace pigeonet
