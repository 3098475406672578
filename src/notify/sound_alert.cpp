#include "notify/sound_alert.h"

#include "util/text.h"

#include <algorithm>
#include <exception>

namespace pigeonet {

bool MatchesWavMask(std::string_view name) {
    return name.size() > 4 && AsciiLower(name.substr(name.size() - 4)) == ".wav";
}

std::vector<std::string> SoundFileNames(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        if (!entry.isFolder && !entry.hidden && !entry.system && MatchesWavMask(entry.name)) {
            names.push_back(entry.name);
        }
    }
    // Names differing only in case cannot share a folder, but keep the order total anyway.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = AsciiLower(a);
        const std::string lb = AsciiLower(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

std::string MediaFolderFromFontsFolder(std::string_view fontsFolder) {
    return ReplaceAll(fontsFolder, "Fonts", "Media");
}

SoundList BuildSoundList(SoundPlatform& platform, const std::string& noSoundEntry) {
    SoundList list;
    list.folder = platform.CurrentFolder();
    try {
        const std::string media = MediaFolderFromFontsFolder(platform.ShellFolderPath("Fonts"));
        if (auto listing = platform.ListFolder(media)) {
            list.folder = std::move(listing->first);
            list.items = SoundFileNames(listing->second);
        }
    } catch (const std::exception&) {
        // The sound list is a convenience: without the media folder the user can still pick no sound or type a
        // name, so a failure here must not stop the settings dialog from loading.
    }
    list.items.push_back(noSoundEntry);
    return list;
}

std::optional<std::string> ResolveSoundPath(std::string_view choice,
                                            std::string_view soundFolder,
                                            std::string_view tempFolder) {
    if (choice.find(".wav") == std::string_view::npos && choice.find(".WAV") == std::string_view::npos) {
        return std::nullopt;
    }
    if (choice.find("Chronel.wav") == std::string_view::npos) {
        return std::string(soundFolder) + "\\" + std::string(choice);
    }
    std::string folder(tempFolder);
    if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) {
        folder += '\\';
    }
    return folder + std::string(choice);
}

void PlaySoundChoice(SoundPlatform& platform, std::string_view choice, std::string_view soundFolder) {
    // The temporary folder is asked for only when the choice lives there.
    const bool inTempFolder = choice.find("Chronel.wav") != std::string_view::npos;
    if (const auto path = ResolveSoundPath(choice, soundFolder, inTempFolder ? platform.TempFolderPath() : "")) {
        platform.Play(*path);
    }
}

}  // namespace pigeonet
