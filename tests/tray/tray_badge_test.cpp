#include "tray/tray_badge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

// The badge's pixels as letters, its box only: "." the picture, "r" rim, "f" fill, "#" digit.
std::vector<std::string> Render(std::string_view text, int size) {
    const TrayBadgeBox box = TrayBadgeBoxFor(text, size);
    std::vector<std::string> rows;
    for (int y = box.y; y < box.y + box.height; ++y) {
        std::string row;
        for (int x = box.x; x < box.x + box.width; ++x) {
            row += ".rf#"[static_cast<int>(TrayBadgePixelAt(text, size, x, y))];
        }
        rows.push_back(row);
    }
    return rows;
}

int Count(const std::vector<std::string>& rows, char letter) {
    int count = 0;
    for (const auto& row : rows) {
        count += static_cast<int>(std::count(row.begin(), row.end(), letter));
    }
    return count;
}

TEST(TrayBadge, SpellsOneToNinetyNineThenNinetyNinePlusAndNothingForNoMail) {
    for (const auto& [total, text] : {std::pair<std::int64_t, std::string>{0, ""},
                                      {-4, ""},
                                      {1, "1"},
                                      {12, "12"},
                                      {99, "99"},
                                      {100, "99+"},
                                      {std::int64_t{1} << 40, "99+"}}) {
        EXPECT_EQ(TrayBadgeText(total), text) << total;
    }
}

TEST(TrayBadge, AddsTheAccountsCountsSkippingWhatIsNoCount) {
    const std::vector<std::string> counts = {"3", "junk", "-2", "", "0x10", " 4"};
    EXPECT_EQ(TotalOfCounts(counts), 3 + 16 + 4);
    EXPECT_EQ(TotalOfCounts(std::span<const std::string>{}), 0);
    const std::vector<std::string> huge(5000, "2147483647");
    EXPECT_GT(TotalOfCounts(huge), kBadgeMaxShown);
}

TEST(TrayBadge, DrawsTwelveAtSixteenPixelsWithRoundedCorners) {
    const std::vector<std::string> expected = {
        ".rrrrrrrrr.",  //
        "rfffffffffr",  //
        "rff#ff###fr",  //
        "rf##ffff#fr",  //
        "rff#ff###fr",  //
        "rff#ff#fffr",  //
        "rf###f###fr",  //
        "rfffffffffr",  //
        ".rrrrrrrrr.",  //
    };
    EXPECT_EQ(Render("12", 16), expected);
    EXPECT_EQ(TrayBadgeBoxFor("12", 16), (TrayBadgeBox{5, 7, 11, 9}));
}

TEST(TrayBadge, SitsInTheLowerRightCornerWithEveryDigitWholeAtEverySize) {
    for (const int size : kTrayPictureSizes) {
        for (const std::string text : {"1", "12", "99+"}) {
            const TrayBadgeBox box = TrayBadgeBoxFor(text, size);
            EXPECT_GE(box.x, 0) << size << " " << text;
            EXPECT_EQ(box.x + box.width, size) << size << " " << text;
            EXPECT_EQ(box.y + box.height, size) << size << " " << text;
            EXPECT_GE(box.width, box.height) << size << " " << text;
            // Large enough to read, small enough to leave the picture recognisable above it.
            EXPECT_LE(box.height * 2, size + 2) << size << " " << text;
            const auto rows = Render(text, size);
            EXPECT_EQ(rows.front().front(), '.') << size << " " << text;
            EXPECT_EQ(rows.back().back(), '.') << size << " " << text;
            EXPECT_EQ(rows.front()[rows.front().size() / 2], 'r') << size << " " << text;
            // Digits never touch the rim.
            for (const auto& row : {rows[1], rows[rows.size() - 2]}) {
                EXPECT_EQ(row.find('#'), std::string::npos) << size << " " << text;
            }
            EXPECT_GT(Count(rows, '#'), 0) << size << " " << text;
        }
        // More digits, more lit pixels: nothing of the third character is cut off.
        EXPECT_GT(Count(Render("99+", size), '#'), Count(Render("99", size), '#')) << size;
        EXPECT_GT(TrayBadgeBoxFor("99+", size).width, TrayBadgeBoxFor("99", size).width) << size;
    }
    EXPECT_EQ(TrayBadgeBoxFor("", 16), TrayBadgeBox{});
}

TEST(TrayBadge, PaintsOpaqueColoursOverTheMailPictureAndLeavesTheRestAlone) {
    for (const int size : kTrayPictureSizes) {
        const TrayPicture plain = DecodeTrayPicture(kTrayMailImage, size);
        EXPECT_EQ(BadgedTrayPicture(0, size).colour, plain.colour);
        EXPECT_EQ(BadgedTrayPicture(0, size).transparent, plain.transparent);
        const TrayPicture badged = BadgedTrayPicture(100, size);
        ASSERT_EQ(badged.size, size);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const TrayBadgePixel pixel = TrayBadgePixelAt("99+", size, x, y);
                if (pixel == TrayBadgePixel::None) {
                    EXPECT_EQ(badged.ColourAt(x, y), plain.ColourAt(x, y)) << size << ": " << x << "," << y;
                    EXPECT_EQ(badged.TransparentAt(x, y), plain.TransparentAt(x, y)) << size << ": " << x << "," << y;
                    continue;
                }
                EXPECT_FALSE(badged.TransparentAt(x, y)) << size << ": " << x << "," << y;
                const std::uint32_t colour = pixel == TrayBadgePixel::Rim    ? kBadgeRimColour
                                             : pixel == TrayBadgePixel::Fill ? kBadgeFillColour
                                                                             : kBadgeDigitColour;
                EXPECT_EQ(badged.ColourAt(x, y), colour) << size << ": " << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace pigeonet
