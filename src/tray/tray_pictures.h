#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace pigeonet {

// The tray's pictures are 16 x 16 pixels at 96 DPI. On a screen of more than 96 DPI the shell asks for larger
// notification-area icons (its small-icon size): the same picture is also drawn at 20, 24 and 32 pixels.
inline constexpr int kTrayPictureSize = 16;
inline constexpr int kTrayPicturePixels = kTrayPictureSize * kTrayPictureSize;
inline constexpr int kTrayPictureSizes[] = {16, 20, 24, 32};

// The drawn size for the shell's small-icon size: the largest drawn size that is not larger, at least 16.
int TrayPictureSizeFor(int smallIconSize);

// The two images of the tray's image list: the mail picture, and a blank one that makes the icon blink when the two
// alternate.
inline constexpr int kTrayMailImage = 0;
inline constexpr int kTrayBlankImage = 1;
inline constexpr int kTrayImageCount = 2;

// One decoded picture of `size` x `size` pixels, rows top first, pixels left to right. Colours are 0xRRGGBB; a
// transparent pixel has colour 0 (black) so that drawing it through its mask leaves the background untouched.
struct TrayPicture {
    int size = kTrayPictureSize;
    std::vector<std::uint32_t> colour;
    std::vector<bool> transparent;

    std::uint32_t ColourAt(int x, int y) const { return colour[static_cast<std::size_t>(y * size + x)]; }
    bool TransparentAt(int x, int y) const { return transparent[static_cast<std::size_t>(y * size + x)]; }
};

// The mail picture as a letter per pixel, top row first; "." is transparent. The letters are explained by
// TrayPaletteColour.
const std::array<std::string_view, kTrayPictureSize>& TrayMailPixelMap();
// The same picture drawn at one of kTrayPictureSizes (tools/art/draw-tray-icon.py --tray-maps); any other size
// gives the 16 x 16 map.
std::span<const std::string_view> TrayMailPixelMap(int size);

// 0xRRGGBB of a pixel-map letter, nullopt for "." and unknown letters.
std::optional<std::uint32_t> TrayPaletteColour(char letter);

// Image `index` of the tray's image list (kTrayMailImage or kTrayBlankImage; anything else is the blank image), at
// one of kTrayPictureSizes.
TrayPicture DecodeTrayPicture(int index, int size = kTrayPictureSize);

}  // namespace pigeonet
