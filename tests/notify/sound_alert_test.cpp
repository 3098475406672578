#include "notify/sound_alert.h"

#include "util/errors.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>

namespace pigeonet {
namespace {

TEST(SoundList, ListsWavFilesOnlySortedWithoutRegardToCase) {
    const std::vector<FolderEntry> entries = {
        {"tada.wav"},
        {"Ding.WAV"},
        {"chimes.Wav"},
        {"notes.txt"},
        {"folder.wav", true},
        {"hidden.wav", false, true},
        {"system.wav", false, false, true},
        {"Alarm.wav"},
        {".wav"},
        {"wave.wave"},
    };
    EXPECT_EQ(SoundFileNames(entries), (std::vector<std::string>{"Alarm.wav", "chimes.Wav", "Ding.WAV", "tada.wav"}));
}

TEST(SoundList, TurnsEveryFontsIntoMedia) {
    EXPECT_EQ(MediaFolderFromFontsFolder("C:\\Windows\\Fonts\\"), "C:\\Windows\\Media\\");
    EXPECT_EQ(MediaFolderFromFontsFolder("D:\\Fonts\\Fonts\\"), "D:\\Media\\Media\\");
    EXPECT_EQ(MediaFolderFromFontsFolder("C:\\Windows\\fonts\\"), "C:\\Windows\\fonts\\");
    EXPECT_EQ(MediaFolderFromFontsFolder(""), "");
}

// Folders from a table, a fixed current folder, and sounds recorded instead of played.
class FakeSoundPlatform final : public SoundPlatform {
  public:
    std::string ShellFolderPath(std::string_view name) override {
        if (shellFails) {
            throw AppError("Invalid data type for 'Fonts'");
        }
        return name == "Fonts" ? fonts : std::string();
    }
    std::optional<FolderListing> ListFolder(const std::string& folder) override {
        listed.push_back(folder);
        const auto found = folders.find(folder);
        if (found == folders.end()) {
            return std::nullopt;
        }
        std::string full = folder;
        if (full.size() > 3 && full.back() == '\\') {
            full.pop_back();
        }
        return std::make_pair(full, found->second);
    }
    std::string CurrentFolder() override { return "C:\\Current"; }
    std::string TempFolderPath() override { return temp; }
    void Play(const std::string& path) override { played.push_back(path); }

    std::string fonts = "C:\\Windows\\Fonts\\";
    bool shellFails = false;
    std::map<std::string, std::vector<FolderEntry>> folders;
    std::vector<std::string> listed;
    std::string temp = "C:\\Users\\u\\Temp\\";
    std::vector<std::string> played;
};

class SoundAlert : public ::testing::Test {
  protected:
    FakeSoundPlatform platform_;
};

TEST_F(SoundAlert, BuildsTheListFromTheMediaFolderThenTheNoSoundEntry) {
    platform_.folders["C:\\Windows\\Media\\"] = {{"tada.wav"}, {"Ding.WAV"}, {"readme.txt"}};
    const SoundList list = BuildSoundList(platform_, "(без звукового сигнала)");
    EXPECT_EQ(platform_.listed, std::vector<std::string>{"C:\\Windows\\Media\\"});
    EXPECT_EQ(list.folder, "C:\\Windows\\Media");
    EXPECT_EQ(list.items, (std::vector<std::string>{"Ding.WAV", "tada.wav", "(без звукового сигнала)"}));
}

TEST_F(SoundAlert, OffersOnlyTheNoSoundEntryWithoutTheMediaFolder) {
    const SoundList list = BuildSoundList(platform_, "()");
    EXPECT_EQ(list.folder, "C:\\Current");
    EXPECT_EQ(list.items, std::vector<std::string>{"()"});
}

TEST_F(SoundAlert, OffersOnlyTheNoSoundEntryWhenTheShellFolderCannotBeRead) {
    platform_.shellFails = true;
    const SoundList list = BuildSoundList(platform_, "(lautlos)");
    EXPECT_EQ(list.folder, "C:\\Current");
    EXPECT_EQ(list.items, std::vector<std::string>{"(lautlos)"});
}

struct PlayCase {
    const char* choice;
    const char* temp;
    std::optional<std::string> played;
};

void PrintTo(const PlayCase& c, std::ostream* os) {
    *os << "choice \"" << c.choice << "\" with temp \"" << c.temp << "\" plays " << testing::PrintToString(c.played);
}

class PlayCases : public SoundAlert, public ::testing::WithParamInterface<PlayCase> {};

TEST_P(PlayCases, PlaysWhatTheChoiceNames) {
    platform_.temp = GetParam().temp;
    PlaySoundChoice(platform_, GetParam().choice, "C:\\Windows\\Media");
    if (GetParam().played) {
        EXPECT_EQ(platform_.played, std::vector<std::string>{*GetParam().played});
    } else {
        EXPECT_TRUE(platform_.played.empty()) << platform_.played.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Choices,
                         PlayCases,
                         ::testing::Values(PlayCase{"(без звукового сигнала)", "C:\\T\\", std::nullopt},
                                           PlayCase{"(without the beep)", "C:\\T\\", std::nullopt},
                                           PlayCase{"", "C:\\T\\", std::nullopt},
                                           PlayCase{"bell", "C:\\T\\", std::nullopt},
                                           PlayCase{"Ding.Wav", "C:\\T\\",
                                                    std::nullopt},  // listed, but neither ".wav" nor ".WAV"
                                           PlayCase{"Ding.WAV", "C:\\T\\", "C:\\Windows\\Media\\Ding.WAV"},
                                           PlayCase{"tada.wav", "C:\\T\\", "C:\\Windows\\Media\\tada.wav"},
                                           PlayCase{"D:\\x.wav", "C:\\T\\", "C:\\Windows\\Media\\D:\\x.wav"},
                                           PlayCase{"Chronel.wav", "C:\\T\\", "C:\\T\\Chronel.wav"},
                                           PlayCase{"Chronel.wav", "C:\\T", "C:\\T\\Chronel.wav"},
                                           PlayCase{"Chronel.wav", "/tmp/", "/tmp/Chronel.wav"},
                                           PlayCase{"Chronel.wav", "", "\\Chronel.wav"},
                                           PlayCase{"old Chronel.wav", "C:\\T\\", "C:\\T\\old Chronel.wav"}));

}  // namespace
}  // namespace pigeonet
