#include "notify/sound_alert_win32.h"

#include "util/shell_paths_win32.h"
#include "util/unicode_win32.h"

#include <windows.h>
#include <mmsystem.h>

namespace pigeonet {

namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return path;
    }
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(length < needed ? length : 0);
    return full.empty() ? path : full;
}

// "C:\Windows\Media\" -> "C:\Windows\Media", but "C:\" stays a drive root.
std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    return path;
}

std::string CurrentFolderPath() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, folder.data());
    folder.resize(length < needed ? length : 0);
    return Narrow(WithoutTrailingSeparator(folder));
}

}  // namespace

std::optional<FolderListing> ListFolder(const std::string& folder) {
    const std::wstring full = WithoutTrailingSeparator(FullPath(Widen(folder)));
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return std::nullopt;
    }
    std::wstring pattern = full;
    if (pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // An empty folder still lists "." and ".."; nothing at all means it cannot be read.
        return std::nullopt;
    }
    do {
        entries.push_back({Narrow(found.cFileName), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                           (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                           (found.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) != 0});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return std::make_pair(Narrow(full), std::move(entries));
}

std::string Win32SoundPlatform::ShellFolderPath(std::string_view name) {
    return pigeonet::ShellFolderPath(currentUser_, name);
}

std::optional<FolderListing> Win32SoundPlatform::ListFolder(const std::string& folder) {
    return pigeonet::ListFolder(folder);
}

std::string Win32SoundPlatform::CurrentFolder() {
    return CurrentFolderPath();
}

std::string Win32SoundPlatform::TempFolderPath() {
    return pigeonet::TempFolderPath();
}

void Win32SoundPlatform::Play(const std::string& path) {
    // Neither SND_FILENAME nor SND_NODEFAULT: a name that is no playable file gives the system's default sound.
    PlaySoundW(Widen(path).c_str(), nullptr, SND_ASYNC);
}

}  // namespace pigeonet
