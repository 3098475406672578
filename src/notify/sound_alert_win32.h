#pragma once

#include "notify/sound_alert.h"
#include "util/registry_hive.h"

namespace pigeonet {

// The sound alert's system: shell folders read from `currentUser` (the real HKEY_CURRENT_USER in the program),
// folders listed with FindFirstFileW, sounds played with PlaySoundW(path, nullptr, SND_ASYNC). The hive is
// borrowed and must outlive the platform. Not final: a test may keep the real folders and replace what plays.
class Win32SoundPlatform : public SoundPlatform {
  public:
    explicit Win32SoundPlatform(const RegistryHive& currentUser) : currentUser_(currentUser) {}
    std::string ShellFolderPath(std::string_view name) override;
    std::optional<FolderListing> ListFolder(const std::string& folder) override;
    std::string CurrentFolder() override;
    std::string TempFolderPath() override;
    void Play(const std::string& path) override;

  private:
    const RegistryHive& currentUser_;
};

// The platform's folder listing, on its own: the folder's full path without a trailing separator (a drive root
// keeps it) and its entries, or nullopt when the folder does not exist or cannot be listed.
std::optional<FolderListing> ListFolder(const std::string& folder);

}  // namespace pigeonet
