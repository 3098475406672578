#include "app/start_language.h"

#include "util/memory_registry.h"

#include <gtest/gtest.h>

namespace pigeonet {
namespace {

TEST(LanguageForDisplayLanguage, TakesRussianEnglishOrGermanOfAnyCountryAndEnglishForTheRest) {
    const std::pair<std::uint16_t, LanguageIndex> cases[] = {
        {0x0419, LanguageIndex::Russian},  // ru-RU
        {0x0819, LanguageIndex::Russian},  // ru-MD
        {0x0409, LanguageIndex::English},  // en-US
        {0x0809, LanguageIndex::English},  // en-GB
        {0x0407, LanguageIndex::German},   // de-DE
        {0x0807, LanguageIndex::German},   // de-CH
        {0x0c07, LanguageIndex::German},   // de-AT
        {0x040c, LanguageIndex::English},  // fr-FR
        {0x0422, LanguageIndex::English},  // uk-UA
        {0x043f, LanguageIndex::English},  // kk-KZ: the hidden language is never chosen for the user
        {0x0000, LanguageIndex::English},
    };
    for (const auto& [langId, language] : cases) {
        EXPECT_EQ(LanguageForDisplayLanguage(langId), language) << std::hex << langId;
    }
}

TEST(StartLanguageMarks, FollowsTheDisplayLanguageOnlyWhenNoLanguageIsStored) {
    MemoryRegistry registry;
    SettingsStore store(registry);
    int asked = 0;
    const DisplayLanguage german = [&asked] {
        ++asked;
        return std::uint16_t{0x0407};
    };
    EXPECT_EQ(StartLanguageMarks(store, german), MarksForChoice(LanguageIndex::German));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(store.LoadText(kSettingsSection, "lang", ""), "2") << "saved at once";
    EXPECT_EQ(StartLanguageMarks(store, [] { return std::uint16_t{0x0409}; }), MarksForChoice(LanguageIndex::German));
    // A stored language is obeyed, the hidden one and an unusable one included; damaged, it marks Russian and is
    // reported.
    for (const auto& [stored, marks] : {std::pair{"1", MarksForStoredLanguage(1)},
                                        {"3", MarksForStoredLanguage(3)},
                                        {"7", LanguageMarks{}},
                                        {"abc", MarksForStoredLanguage(0)}}) {
        store.SaveText(kSettingsSection, "lang", stored);
        EXPECT_EQ(StartLanguageMarks(store, german), marks) << stored;
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(store.Unreadable().TakeReport(), "Invalid data type for 'lang'");
}

}  // namespace
}  // namespace pigeonet
