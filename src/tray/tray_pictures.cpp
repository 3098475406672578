#include "tray/tray_pictures.h"

namespace pigeonet {

namespace {
#include "tray/tray_pixel_maps.inc"
}  // namespace

const std::array<std::string_view, kTrayPictureSize>& TrayMailPixelMap() {
    // A sheet of paper with lines of text, partly covered at the lower right by an open envelope with a letter.
    static constexpr std::array<std::string_view, kTrayPictureSize> map = {
        "AAAAAAAAAAB.....",  //
        "ACCCCCCCCDB.....",  //
        "ACEEECCCCDB.....",  //
        "ACCCCFCFCDB.....",  //
        "ACEEEEEEFDB.....",  //
        "ACCFCFCFCAGB....",  //
        "ACEEEEEEAGHHB...",  //
        "ACCFCFCAGHHIJB..",  //
        "ACEEEKAGHHIJIEB.",  //
        "AFCCFAAHHIJIJEBB",  //
        "ACCFCACAIJIJEALB",  //
        "BBBBBACDAAAAALMB",  //
        ".....ADACCCMCALB",  //
        ".....AACMCMCMCAB",  //
        ".....ALLLLLLLLLB",  //
        ".....BBBBBBBBBBB",  //
    };
    return map;
}

std::optional<std::uint32_t> TrayPaletteColour(char letter) {
    switch (letter) {
        case 'A':
            return 0x888888;  // grey
        case 'B':
            return 0x000000;  // black
        case 'C':
            return 0xFFFFFF;  // white
        case 'D':
            return 0xC0C0C0;  // silver
        case 'E':
            return 0xFF6E00;  // orange
        case 'F':
            return 0xFFFF00;  // yellow
        case 'G':
            return 0xF8F8F8;  // off-white
        case 'H':
            return 0xFFF18C;  // pale yellow
        case 'I':
            return 0xFFD900;  // gold
        case 'J':
            return 0xFFB900;  // amber
        case 'K':
            return 0xFF0000;  // red
        case 'L':
            return 0xD0CCD0;  // light grey
        case 'M':
            return 0xFFFF98;  // pale yellow
        default:
            return std::nullopt;
    }
}

int TrayPictureSizeFor(int smallIconSize) {
    int chosen = kTrayPictureSize;
    for (const int size : kTrayPictureSizes) {
        if (size <= smallIconSize) {
            chosen = size;
        }
    }
    return chosen;
}

std::span<const std::string_view> TrayMailPixelMap(int size) {
    switch (size) {
        case 20:
            return kTrayMailPixelMap20;
        case 24:
            return kTrayMailPixelMap24;
        case 32:
            return kTrayMailPixelMap32;
        default:
            return TrayMailPixelMap();
    }
}

TrayPicture DecodeTrayPicture(int index, int size) {
    const auto map = TrayMailPixelMap(size);
    const int side = static_cast<int>(map.size());
    TrayPicture picture;
    picture.size = side;
    picture.colour.assign(static_cast<std::size_t>(side * side), 0);
    picture.transparent.assign(static_cast<std::size_t>(side * side), true);
    if (index != kTrayMailImage) {
        return picture;
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const auto colour = TrayPaletteColour(map[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
            const auto at = static_cast<std::size_t>(y * side + x);
            picture.colour[at] = colour.value_or(0);
            picture.transparent[at] = !colour.has_value();
        }
    }
    return picture;
}

}  // namespace pigeonet
