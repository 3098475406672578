#pragma once

#include <string>
#include <vector>

#include "settings/live_settings.h"

namespace pigeonet {

// Ticks of the one-second poll timer after which a round starts, for an interval position 0..30: 25 at position 0,
// 60 * (position + 1) otherwise. A round runs when the tick counter exceeds the limit, so every limit + 1 seconds.
int RoundLimit(int intervalPosition);

// The tray hint: "Pigeonet", then for each account a CR (no LF) and its address, followed by " - " and the last
// count unless the count text is exactly "0".
std::string AccountsHint(const LiveSettings& settings);

}  // namespace pigeonet
