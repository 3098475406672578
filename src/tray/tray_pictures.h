#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pigeonet {

// The tray's pictures are 16 x 16 pixels.
inline constexpr int kTrayPictureSize = 16;
inline constexpr int kTrayPicturePixels = kTrayPictureSize * kTrayPictureSize;

// The two images of the tray's image list: the mail picture, and a blank one that makes the icon blink when the two
// alternate.
inline constexpr int kTrayMailImage = 0;
inline constexpr int kTrayBlankImage = 1;
inline constexpr int kTrayImageCount = 2;

// One decoded picture, rows top first, pixels left to right. Colours are 0xRRGGBB; a transparent pixel has colour
// 0 (black) so that drawing it through its mask leaves the background untouched.
struct TrayPicture {
    std::array<std::uint32_t, kTrayPicturePixels> colour{};
    std::array<bool, kTrayPicturePixels> transparent{};

    std::uint32_t ColourAt(int x, int y) const { return colour[static_cast<std::size_t>(y * kTrayPictureSize + x)]; }
    bool TransparentAt(int x, int y) const { return transparent[static_cast<std::size_t>(y * kTrayPictureSize + x)]; }
};

// The mail picture as a letter per pixel, top row first; "." is transparent. The letters are explained by
// TrayPaletteColour.
const std::array<std::string_view, kTrayPictureSize>& TrayMailPixelMap();

// 0xRRGGBB of a pixel-map letter, nullopt for "." and unknown letters.
std::optional<std::uint32_t> TrayPaletteColour(char letter);

// Image `index` of the tray's image list (kTrayMailImage or kTrayBlankImage; anything else is the blank image).
TrayPicture DecodeTrayPicture(int index);

}  // namespace pigeonet
