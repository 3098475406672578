#pragma once

// What the settings dialog asks of the system, for tests: the real folders and shell folders, under registries of
// the test's own, with nothing played and no file dialog opened.
#include "notify/sound_alert_win32.h"
#include "settings/dialogs/settings_dialog_win32.h"
#include "util/memory_registry.h"

#include <optional>
#include <string>
#include <vector>

namespace pigeonet::testing {

// A local machine registry the test fills; browsing for the mail program picks nothing.
class TestDialogSystem final : public SettingsDialogSystem {
  public:
    const RegistryHive& LocalMachine() override { return localMachine; }
    std::optional<std::string> ChooseMailProgram(HWND) override { return std::nullopt; }

    MemoryRegistry localMachine;
};

// The real folders with shell folders from the test's hive, the temporary folder "C:\Temp\", and every sound noted
// instead of played.
class RecordingSound final : public Win32SoundPlatform {
  public:
    using Win32SoundPlatform::Win32SoundPlatform;
    std::string TempFolderPath() override { return "C:\\Temp\\"; }
    void Play(const std::string& path) override { played.push_back(path); }

    std::vector<std::string> played;
};

}  // namespace pigeonet::testing
