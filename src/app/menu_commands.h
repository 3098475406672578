#pragma once

#include <string_view>

namespace pigeonet {

// The program's web page, opened by the tray menu's web site item. The project has no public page yet: this
// reserved name stands in until it does.
inline constexpr std::string_view kWebSiteAddress = "https://pigeonet.example.org/";

// Whether open mail hands the target to the shell as a web address: only when it starts with exactly "http:" or
// exactly "HTTP:". Anything else, other capitalisations and "https:" included, is a command line to start.
bool IsWebMailTarget(std::string_view target);

// Whether the autostart item starts checked: the Run value contains "pg" anywhere (case-sensitive), which is how
// earlier versions, installed as pg.exe, recognised their own entry; or it names this executable (compared
// without regard to ASCII case, as Windows compares paths), since "pigeonet.exe" holds no "pg".
bool AutostartMarked(std::string_view runValue, std::string_view executablePath);

}  // namespace pigeonet
