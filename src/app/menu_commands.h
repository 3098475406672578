#pragma once

#include <string_view>

namespace pigeonet {

// The program's web page, opened by the tray menu's web site item. A build setting (PIGEONET_WEB_SITE); the
// project has no public page yet, so the default is a reserved name that stands in until it does.
#ifndef PIGEONET_WEB_SITE
#define PIGEONET_WEB_SITE "https://pigeonet.example.org/"
#endif
inline constexpr std::string_view kWebSiteAddress = PIGEONET_WEB_SITE;

// Whether open mail hands the target to the shell as a web address: only when it starts with exactly "http:" or
// exactly "HTTP:". Anything else, other capitalisations and "https:" included, is a command line to start.
bool IsWebMailTarget(std::string_view target);

// Whether the autostart item starts checked: the Run value contains "pg" anywhere (case-sensitive), which is how
// earlier versions, installed as pg.exe, recognised their own entry; or it names this executable (compared
// without regard to ASCII case, as Windows compares paths), since "pigeonet.exe" holds no "pg".
bool AutostartMarked(std::string_view runValue, std::string_view executablePath);

}  // namespace pigeonet
