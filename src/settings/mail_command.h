#pragma once

#include "util/registry_hive.h"

#include <string>
#include <string_view>

namespace pigeonet {

// Where the system registers its default mail client, relative to HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kMailClientsKey = "\\SOFTWARE\\Clients\\Mail\\";

// Whether open mail hands the target to the browser (through the shell) as a web address: it starts with "http:" or
// "https:", in any letter case. Anything else is a command line to start, as it always was.
bool IsWebMailAddress(std::string_view target);

// Whether a path starts absolute: a drive letter and a colon ("C:\..."), or a UNC name ("\\server\...").
bool IsAbsolutePath(std::string_view path);

// The command line for a registered mail client's command: double quotes removed, "ProgramFiles" made into
// "Program Files", percent signs removed, and the temporary folder's drive root (its first three characters)
// put in front, since registrations usually name the program through %ProgramFiles%. A command that already
// starts with an absolute path keeps it as it is instead of gaining a second drive prefix.
std::string MailCommandFromRegistration(std::string_view registeredCommand, std::string_view tempFolder);

// `DefaultMailCommand`: the registered default mail client's open command (read from `localMachine`) made into a
// command line; with no client registered, the drive root alone (such as "C:\").
std::string DefaultMailCommand(const RegistryHive& localMachine, std::string_view tempFolder);

}  // namespace pigeonet
