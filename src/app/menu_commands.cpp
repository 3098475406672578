#include "app/menu_commands.h"

namespace pigeonet {

bool IsWebMailTarget(std::string_view target) {
    const auto prefix = target.substr(0, 5);
    return prefix == "http:" || prefix == "HTTP:";
}

bool AutostartMarked(std::string_view runValue) {
    return runValue.find("pg") != std::string_view::npos;
}

}  // namespace pigeonet
