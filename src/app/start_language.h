#pragma once

#include "i18n/language.h"
#include "settings/settings_store.h"

#include <cstdint>
#include <functional>

namespace pigeonet {

// The user's Windows display language as a LANGID (GetUserDefaultUILanguage); tests hand in their own.
using DisplayLanguage = std::function<std::uint16_t()>;

// The language a first start speaks: Russian, English or German when the display language is one of them, whatever
// its country, English for any other.
LanguageIndex LanguageForDisplayLanguage(std::uint16_t langId);

// The language marks the main window starts with: those of the stored "lang" whenever the store holds one, readable
// or not (an unreadable one marks Russian and is noted for the report); with none stored, the display language's,
// saved at once, so that what the settings dialog builds from the stored language before the language is first
// applied (the sound list's no-sound entry) speaks it too. A failed save is left to that first application, which
// saves again and reports it.
LanguageMarks StartLanguageMarks(SettingsStore& store, const DisplayLanguage& displayLanguage);

}  // namespace pigeonet
