#include "app/start_language.h"

#include "util/errors.h"

namespace pigeonet {

namespace {

// The primary language of a LANGID (its low ten bits), as winnt.h numbers them.
constexpr std::uint16_t kPrimaryLanguageMask = 0x3ff;
constexpr std::uint16_t kLangGerman = 0x07;
constexpr std::uint16_t kLangEnglish = 0x09;
constexpr std::uint16_t kLangRussian = 0x19;

}  // namespace

LanguageIndex LanguageForDisplayLanguage(std::uint16_t langId) {
    switch (langId & kPrimaryLanguageMask) {
        case kLangRussian:
            return LanguageIndex::Russian;
        case kLangGerman:
            return LanguageIndex::German;
        default:
            return LanguageIndex::English;
    }
}

LanguageMarks StartLanguageMarks(SettingsStore& store, const DisplayLanguage& displayLanguage) {
    bool stored = true;
    try {
        stored = store.HasValue(kSettingsSection, "lang");
    } catch (const AppError&) {
        // A value that cannot even be looked at is there all the same: the read below reports it.
    }
    if (stored) {
        return MarksForStoredLanguage(store.ReadInt(kSettingsSection, "lang", 0));
    }
    const LanguageIndex language = LanguageForDisplayLanguage(displayLanguage());
    try {
        store.SaveInt(kSettingsSection, "lang", static_cast<std::int32_t>(language));
    } catch (const AppError&) {
    }
    return MarksForChoice(language);
}

}  // namespace pigeonet
