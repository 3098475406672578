#include "util/shell_paths_win32.h"

#include "util/errors.h"
#include "util/registry_win32.h"
#include "util/unicode_win32.h"

#include <windows.h>

namespace pigeonet {

namespace {

constexpr const char* kShellFoldersKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

}  // namespace

std::string TempFolderPath() {
    wchar_t buffer[1024] = {};
    const DWORD length = GetTempPathW(static_cast<DWORD>(std::size(buffer)), buffer);
    if (length == 0 || length >= std::size(buffer)) {
        return std::string();
    }
    return Narrow(std::wstring_view(buffer, length));
}

std::string ShellFolderPath(const RegistryHive& currentUser, std::string_view name) {
    const std::string valueName(name);
    const auto value = currentUser.ReadValue(kShellFoldersKey, valueName);
    if (value && !value->isText) {
        throw AppError(FormatMessageText("Invalid data type for '%s'", valueName));
    }
    return (value ? value->text : std::string()) + "\\";
}

std::string ShellFolderPath(std::string_view name) {
    const Win32RegistryHive currentUser(HKEY_CURRENT_USER);
    return ShellFolderPath(currentUser, name);
}

}  // namespace pigeonet
