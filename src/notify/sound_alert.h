#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pigeonet {

// One entry of a folder listing, name without folder (UTF-8).
struct FolderEntry {
    std::string name;
    bool isFolder = false;
    bool hidden = false;
    bool system = false;
};

// A folder as a full path without a trailing separator (a drive root keeps its "\"), and its entries.
using FolderListing = std::pair<std::string, std::vector<FolderEntry>>;

// What the sound alert needs of the system. The program hands in the Win32 one (Win32SoundPlatform); tests hand
// in their own to record what would play.
class SoundPlatform {
  public:
    virtual ~SoundPlatform() = default;
    // `ShellFolderPath`: a per-user shell folder with a trailing "\"; throws when the registry value is not text.
    virtual std::string ShellFolderPath(std::string_view name) = 0;
    // The folder's listing; nullopt when the folder does not exist or cannot be listed.
    virtual std::optional<FolderListing> ListFolder(const std::string& folder) = 0;
    // The process's current folder, full path without a trailing separator.
    virtual std::string CurrentFolder() = 0;
    // `TempFolderPath`: the temporary folder as the system reports it, normally with a trailing "\".
    virtual std::string TempFolderPath() = 0;
    // Starts playing a sound in the background and returns at once; a name that cannot be played makes the
    // system play its default sound.
    virtual void Play(const std::string& path) = 0;
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
SoundList BuildSoundList(SoundPlatform& platform, const std::string& noSoundEntry);

// The file a sound choice plays: nothing unless the text contains ".wav" or ".WAV" (so the no-sound entry, in
// whichever language it was made, plays nothing); "Chronel.wav" lives in the temporary folder; every other
// name is taken relative to the sound folder.
std::optional<std::string> ResolveSoundPath(std::string_view choice,
                                            std::string_view soundFolder,
                                            std::string_view tempFolder);

// Plays the sound choice, if it names one, through `platform.Play`.
void PlaySoundChoice(SoundPlatform& platform, std::string_view choice, std::string_view soundFolder);

}  // namespace pigeonet
