#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "i18n/language.h"
#include "settings/live_settings.h"

namespace pigeonet {

class MailboxHealth;

// Ticks of the one-second poll timer after which a round starts, for an interval position 0..30: 25 at position 0,
// 60 * (position + 1) otherwise. A round runs when the tick counter exceeds the limit, so every limit + 1 seconds.
int RoundLimit(int intervalPosition);

// The notification area shows a tooltip of 128 UTF-16 units with the terminator.
inline constexpr std::size_t kTrayHintUnits = 127;

// The tray hint: "Pigeonet", then for each account a CR (no LF) and its address, followed by " - " and the last
// count unless the count text is exactly "0".
std::string AccountsHint(const LiveSettings& settings);

// The same hint with each failing account's line naming its failure instead of the count ("address - login
// refused", in `language`), cut to what the notification area shows, at a character boundary.
std::string AccountsHint(const LiveSettings& settings, const MailboxHealth& health, LanguageIndex language);

// `text` cut to at most `maxUnits` UTF-16 units, never inside a character (UTF-8 in and out; an invalid byte
// counts as the one unit it is shown as).
std::string CutToUnits(const std::string& text, std::size_t maxUnits);

}  // namespace pigeonet
