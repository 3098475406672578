#pragma once

#include "notify/sound_alert.h"
#include "util/registry_hive.h"

namespace pigeonet {

// The sound alert's system: shell folders read from `currentUser` (the real HKEY_CURRENT_USER in the program),
// folders listed with FindFirstFileW, sounds played with PlaySoundW(path, nullptr, SND_ASYNC). The hive is
// borrowed and must outlive the result.
SoundPlatform Win32SoundPlatform(const RegistryHive& currentUser);

// The platform's folder listing, on its own: the folder's full path without a trailing separator (a drive root
// keeps it) and its entries, or nullopt when the folder does not exist or cannot be listed.
std::optional<std::pair<std::string, std::vector<FolderEntry>>> ListFolder(const std::string& folder);

}  // namespace pigeonet
