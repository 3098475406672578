#pragma once

#include "util/registry_hive.h"

#include <string>
#include <string_view>

namespace pigeonet {

// `TempFolderPath`: the user's temporary folder exactly as GetTempPathW reports it (normally with a trailing "\"),
// UTF-8; empty when the system cannot say.
std::string TempFolderPath();

// `ShellFolderPath`: the per-user shell folder `name` (such as "Fonts") followed by "\", read from HKEY_CURRENT_USER
// "SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders". A missing key or value reads as empty, so the
// result is "\" alone; a value that is not text fails with "Invalid data type for '<name>'". Never creates the key.
std::string ShellFolderPath(std::string_view name);
// The same read below another root, for tests.
std::string ShellFolderPath(const RegistryHive& currentUser, std::string_view name);

}  // namespace pigeonet
