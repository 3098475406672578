#include "tray/tray_badge.h"

#include "settings/live_settings.h"
#include "util/text.h"

#include <algorithm>
#include <array>
#include <vector>

namespace pigeonet {
namespace {

// Digit shapes, "#" lit, one string per row, top row first; "+" after the digits. Two sizes: the small one for
// the 16 and 20 pixel pictures, the larger one from 24 pixels on.
constexpr int kGlyphCount = 11;

struct BadgeFont {
    int width;
    int height;
    std::array<std::array<std::string_view, 7>, kGlyphCount> glyphs;
};

constexpr BadgeFont kSmallFont{3,
                               5,
                               {{
                                   {"###", "#.#", "#.#", "#.#", "###"},
                                   {".#.", "##.", ".#.", ".#.", "###"},
                                   {"###", "..#", "###", "#..", "###"},
                                   {"###", "..#", ".##", "..#", "###"},
                                   {"#.#", "#.#", "###", "..#", "..#"},
                                   {"###", "#..", "###", "..#", "###"},
                                   {"###", "#..", "###", "#.#", "###"},
                                   {"###", "..#", ".#.", ".#.", ".#."},
                                   {"###", "#.#", "###", "#.#", "###"},
                                   {"###", "#.#", "###", "..#", "###"},
                                   {"...", ".#.", "###", ".#.", "..."},
                               }}};

constexpr BadgeFont kLargeFont{5,
                               7,
                               {{
                                   {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."},
                                   {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
                                   {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
                                   {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."},
                                   {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
                                   {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."},
                                   {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."},
                                   {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."},
                                   {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."},
                                   {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."},
                                   {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."},
                               }}};

// How the badge is laid out at one picture size: blank pixels between the text and the rim, and how many pixels
// of each corner are cut off diagonally to round it.
struct BadgeStyle {
    const BadgeFont* font;
    int padX;
    int padY;
    int corner;
};

BadgeStyle StyleFor(int size) {
    if (size >= 32) {
        return {&kLargeFont, 2, 2, 2};
    }
    if (size >= 24) {
        return {&kLargeFont, 1, 1, 2};
    }
    if (size >= 20) {
        return {&kSmallFont, 2, 2, 2};
    }
    return {&kSmallFont, 1, 1, 1};
}

// -1 for a character the badge has no shape for.
int GlyphIndex(char c) {
    if (c == '+') {
        return 10;
    }
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

// One pixel column between characters.
int TextWidth(std::string_view text, const BadgeFont& font) {
    const int count = static_cast<int>(text.size());
    return count == 0 ? 0 : count * font.width + count - 1;
}

}  // namespace

std::int64_t TotalOfCounts(std::span<const std::string> counts) {
    // Far above "99+" and far below overflow, whatever the number of accounts.
    constexpr std::int64_t kCeiling = std::int64_t{1} << 40;
    std::int64_t total = 0;
    for (const std::string& count : counts) {
        total = std::min(kCeiling, total + std::max(0, ParseInt32(count).value_or(0)));
    }
    return total;
}

std::int64_t TotalOfCounts(const LiveSettings& settings) {
    std::vector<std::string> counts;
    const int rows = settings.AccountCount();
    for (int index = 0; index < rows; ++index) {
        counts.push_back(settings.AccountAt(index).count);
    }
    return TotalOfCounts(counts);
}

std::string TrayBadgeText(std::int64_t total) {
    if (total <= 0) {
        return {};
    }
    if (total > kBadgeMaxShown) {
        return std::to_string(kBadgeMaxShown) + "+";
    }
    return std::to_string(total);
}

TrayBadgeBox TrayBadgeBoxFor(std::string_view text, int size) {
    if (text.empty()) {
        return {};
    }
    const BadgeStyle style = StyleFor(size);
    const int height = style.font->height + 2 * style.padY + 2;
    // A single digit gets a square badge rather than a narrow upright one.
    const int width = std::max(height, TextWidth(text, *style.font) + 2 * style.padX + 2);
    return {size - width, size - height, width, height};
}

TrayBadgePixel TrayBadgePixelAt(std::string_view text, int size, int x, int y) {
    const TrayBadgeBox box = TrayBadgeBoxFor(text, size);
    if (x < box.x || y < box.y || x >= box.x + box.width || y >= box.y + box.height) {
        return TrayBadgePixel::None;
    }
    const BadgeStyle style = StyleFor(size);
    // Distances to the nearest vertical and horizontal edge.
    const int dx = std::min(x - box.x, box.x + box.width - 1 - x);
    const int dy = std::min(y - box.y, box.y + box.height - 1 - y);
    if (dx + dy < style.corner) {
        return TrayBadgePixel::None;
    }
    if (dx == 0 || dy == 0 || dx + dy == style.corner) {
        return TrayBadgePixel::Rim;
    }
    const BadgeFont& font = *style.font;
    const int textX = box.x + (box.width - TextWidth(text, font)) / 2;
    const int textY = box.y + 1 + style.padY;
    const int column = x - textX;
    const int row = y - textY;
    if (column < 0 || row < 0 || row >= font.height || column >= TextWidth(text, font)) {
        return TrayBadgePixel::Fill;
    }
    const int character = column / (font.width + 1);
    const int glyphColumn = column % (font.width + 1);
    if (glyphColumn == font.width) {
        return TrayBadgePixel::Fill;
    }
    const int glyphIndex = GlyphIndex(text[static_cast<std::size_t>(character)]);
    if (glyphIndex < 0) {
        return TrayBadgePixel::Fill;
    }
    const auto& glyph = font.glyphs[static_cast<std::size_t>(glyphIndex)];
    return glyph[static_cast<std::size_t>(row)][static_cast<std::size_t>(glyphColumn)] == '#' ? TrayBadgePixel::Digit
                                                                                              : TrayBadgePixel::Fill;
}

void DrawTrayBadge(TrayPicture& picture, std::string_view text) {
    const TrayBadgeBox box = TrayBadgeBoxFor(text, picture.size);
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) {
            std::uint32_t colour = 0;
            switch (TrayBadgePixelAt(text, picture.size, x, y)) {
                case TrayBadgePixel::None:
                    continue;
                case TrayBadgePixel::Rim:
                    colour = kBadgeRimColour;
                    break;
                case TrayBadgePixel::Fill:
                    colour = kBadgeFillColour;
                    break;
                case TrayBadgePixel::Digit:
                    colour = kBadgeDigitColour;
                    break;
            }
            const auto at = static_cast<std::size_t>(y * picture.size + x);
            picture.colour[at] = colour;
            picture.transparent[at] = false;
        }
    }
}

TrayPicture BadgedTrayPicture(std::int64_t total, int size) {
    TrayPicture picture = DecodeTrayPicture(kTrayMailImage, size);
    DrawTrayBadge(picture, TrayBadgeText(total));
    return picture;
}

}  // namespace pigeonet
