#pragma once

#include <string_view>

namespace pigeonet {

// The program's web page, opened by the tray menu's web site item. The project has no public page yet: this
// reserved name stands in until it does.
inline constexpr std::string_view kWebSiteAddress = "https://pigeonet.example.org/";

// Whether open mail hands the target to the shell as a web address: only when it starts with exactly "http:" or
// exactly "HTTP:". Anything else, other capitalisations and "https:" included, is a command line to start.
bool IsWebMailTarget(std::string_view target);

// Whether the autostart item starts checked: the Run value contains "pg" anywhere (case-sensitive).
bool AutostartMarked(std::string_view runValue);

}  // namespace pigeonet
