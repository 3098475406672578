#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pigeonet {

// One entry of a folder listing, name without folder (UTF-8).
struct FolderEntry {
    std::string name;
    bool isFolder = false;
    bool hidden = false;
    bool system = false;
};

// What the sound alert needs of the system; the Win32 adapter fills it in, tests record through it.
struct SoundPlatform {
    // `ShellFolderPath`: a per-user shell folder with a trailing "\"; throws when the registry value is not text.
    std::function<std::string(std::string_view name)> shellFolderPath;
    // The folder as a full path without a trailing separator (a drive root keeps its "\"), and its entries;
    // nullopt when the folder does not exist or cannot be listed.
    std::function<std::optional<std::pair<std::string, std::vector<FolderEntry>>>(const std::string& folder)>
        listFolder;
    // The process's current folder, full path without a trailing separator.
    std::function<std::string()> currentFolder;
    // `TempFolderPath`: the temporary folder as the system reports it, normally with a trailing "\".
    std::function<std::string()> tempFolderPath;
    // Starts playing a sound in the background and returns at once; a name that cannot be played makes the
    // system play its default sound.
    std::function<void(const std::string& path)> playSound;
};

// The sound list's file mask "*.wav", matched without regard to case.
bool MatchesWavMask(std::string_view name);

// The names a "*.wav" file list shows for a folder's entries: matching files only (no folders, no hidden or
// system files), sorted without regard to case.
std::vector<std::string> SoundFileNames(const std::vector<FolderEntry>& entries);

// The user's fonts folder turned into the media folder next to it: every "Fonts" becomes "Media".
std::string MediaFolderFromFontsFolder(std::string_view fontsFolder);

// The sound choice's items and the folder its names are relative to.
struct SoundList {
    std::string folder;              // where the names live; the current folder when the media folder failed
    std::vector<std::string> items;  // WAV names, then the no-sound entry last
};

// Builds the sound list once, when the settings dialog is created. Any failure on the way to the media folder's
// names (registry, missing folder) leaves only the no-sound entry, and the folder stays the current folder.
SoundList BuildSoundList(const SoundPlatform& platform, const std::string& noSoundEntry);

// The file a sound choice plays: nothing unless the text contains ".wav" or ".WAV" (so the no-sound entry, in
// whichever language it was made, plays nothing); "Chronel.wav" lives in the temporary folder; every other
// name is taken relative to the sound folder.
std::optional<std::string> ResolveSoundPath(std::string_view choice,
                                            std::string_view soundFolder,
                                            std::string_view tempFolder);

// Plays the sound choice, if it names one, through `platform.playSound`.
void PlaySoundChoice(const SoundPlatform& platform, std::string_view choice, std::string_view soundFolder);

}  // namespace pigeonet
