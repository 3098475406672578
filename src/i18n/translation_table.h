#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pigeonet {

inline constexpr std::size_t kLangLineCount = 51;

// The translation table: one line per text, addressed by line number from 0, so the order of the lines may never
// change; new texts are added at the end. Each line holds the fields Russian, English, German (the `LanguageIndex`
// order), each followed by
// ";". There is no fourth field: the hidden fourth language reads every text as empty. UTF-8.
extern const std::array<std::string_view, kLangLineCount> tLang;

// Field n (from 1) of a line whose fields end with `separator`. Deliberately literal: n of 1 or less gives the
// first field; a run of separators counts as one; a separator at the very start gives an empty first field;
// past the last field a line ending in the separator gives "", while a line without a final separator gives its
// last field again for every larger n. The separator must be a single ASCII byte, so that it can never match
// inside a UTF-8 sequence.
std::string GetSubStr(std::string_view text, char separator, std::int64_t n);

// The sound list's no-sound entry: "(" + field storedLang + 1 of line 27 + ")". It takes the raw stored "lang"
// rather than a `LanguageIndex` because the settings dialog builds it from the store before any language has
// been applied: -1 (field 0) gives the Russian text, 3 or 7 give "()".
std::string NoSoundEntry(std::int32_t storedLang);

}  // namespace pigeonet
