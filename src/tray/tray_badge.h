#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tray/tray_pictures.h"

namespace pigeonet {

class LiveSettings;

// The count on the tray icon: a small filled badge with light digits and a dark rim in the picture's lower right
// corner. The red fill stands out on a dark taskbar, the rim on a light one and against the picture under it.
inline constexpr std::uint32_t kBadgeFillColour = 0xD42A1E;   // red
inline constexpr std::uint32_t kBadgeRimColour = 0x5A0A05;    // dark red
inline constexpr std::uint32_t kBadgeDigitColour = 0xFFFFFF;  // white

// The most the badge spells out; above it the badge reads "99+".
inline constexpr std::int64_t kBadgeMaxShown = 99;

// The sum of the accounts' last counts, each read as the program reads every integer; a count that is not one,
// or is negative, adds nothing. The sum stops growing far above what the badge shows.
std::int64_t TotalOfCounts(std::span<const std::string> counts);
// The same over the live accounts' last counts.
std::int64_t TotalOfCounts(const LiveSettings& settings);

// The badge's text for a total: "" for 0 or less (the plain picture), "1" to "99", then "99+".
std::string TrayBadgeText(std::int64_t total);

// The badge's rectangle in a picture of `size` pixels (one of kTrayPictureSizes) for a text of up to three
// characters; empty for "".
struct TrayBadgeBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TrayBadgeBox&) const = default;
};
TrayBadgeBox TrayBadgeBoxFor(std::string_view text, int size);

// What the badge puts at pixel (x, y) of a picture of `size` pixels.
enum class TrayBadgePixel {
    None,  // outside the badge, or its rounded-off corner: the picture shows through
    Rim,
    Fill,
    Digit,
};
TrayBadgePixel TrayBadgePixelAt(std::string_view text, int size, int x, int y);

// Draws the badge for `text` onto `picture`; its pixels are all opaque. "" leaves the picture as it is.
void DrawTrayBadge(TrayPicture& picture, std::string_view text);

// The tray's mail picture at `size` with the badge for `total` (the plain picture for 0 or less).
TrayPicture BadgedTrayPicture(std::int64_t total, int size = kTrayPictureSize);

}  // namespace pigeonet
