#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pigeonet {

// The program's web page, opened by the tray menu's web site item. A build setting (PIGEONET_WEB_SITE); the
// project has no public page yet, so the default is a reserved name that stands in until it does.
#ifndef PIGEONET_WEB_SITE
#define PIGEONET_WEB_SITE "https://pigeonet.example.org/"
#endif
inline constexpr std::string_view kWebSiteAddress = PIGEONET_WEB_SITE;

// Whether the autostart item starts checked: the Run value contains "pg" anywhere (case-sensitive), so an entry
// that starts the program as pg.exe counts as its own; or it names this executable (compared without regard to
// ASCII case, as Windows compares paths), since "pigeonet.exe" holds no "pg".
bool AutostartMarked(std::string_view runValue, std::string_view executablePath);

// The Run value that starts this executable: its path, in double quotes when it holds a blank, so that Windows
// never tries a shorter path first ("C:\Program.exe" for "C:\Program Files\..."). AutostartMarked knows both forms.
std::string AutostartCommand(std::string_view executablePath);

// Whether a path names an existing file (not a folder).
using FileTest = std::function<bool(const std::string& path)>;

// How a command line is started: the program file to run exactly as named (no search, no extension added), or
// empty to let the system find the line's first word; and the command line the program receives.
struct ProgramStart {
    std::string program;
    std::string commandLine;
    bool operator==(const ProgramStart&) const = default;
};

// The mail program's command line made unmistakable. Windows reads an unquoted program path up to a blank and tries
// ever longer prefixes, so "C:\Program Files\Mail\mail.exe -mail" would start a "C:\Program.exe" if one were
// there. Here the program is the longest prefix (ending at a blank, or the whole line) that names an existing file
// with an extension; the line gets it in double quotes, the rest as its arguments. When none does, a first word
// without a path (a program on the search path, "msimn.exe /mail") is quoted alone and looked up by the system;
// anything else is started as the whole line, which starts nothing unless it names a file. A line that starts with
// a quote or holds no blank is left to the system as it is: it has nothing shorter to try.
ProgramStart ProgramCommandLine(std::string_view commandLine, const FileTest& isFile);

}  // namespace pigeonet
