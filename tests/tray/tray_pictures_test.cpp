#include "tray/tray_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

TEST(TrayPictures, MailImageFollowsThePixelMapAndPalette) {
    const TrayPicture picture = DecodeTrayPicture(kTrayMailImage);
    const struct {
        int x, y;
        bool transparent;
        std::uint32_t colour;
    } cases[] = {
        {0, 0, false, 0x888888},  {10, 0, false, 0x000000},  {11, 0, true, 0},          {15, 0, true, 0},
        {1, 1, false, 0xFFFFFF},  {9, 1, false, 0xC0C0C0},   {2, 2, false, 0xFF6E00},   {5, 3, false, 0xFFFF00},
        {10, 5, false, 0xF8F8F8}, {11, 6, false, 0xFFF18C},  {11, 7, false, 0xFFD900},  {12, 7, false, 0xFFB900},
        {5, 8, false, 0xFF0000},  {14, 10, false, 0xD0CCD0}, {14, 11, false, 0xFFFF98}, {4, 12, true, 0},
        {5, 12, false, 0x888888}, {15, 15, false, 0x000000}, {0, 15, true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(picture.TransparentAt(c.x, c.y), c.transparent) << c.x << "," << c.y;
        EXPECT_EQ(picture.ColourAt(c.x, c.y), c.colour) << c.x << "," << c.y;
    }
}

TEST(TrayPictures, PixelMapUsesOnlyKnownLettersOnSixteenBySixteen) {
    int transparent = 0;
    for (auto row : TrayMailPixelMap()) {
        ASSERT_EQ(row.size(), 16u);
        for (char letter : row) {
            if (letter == '.') {
                ++transparent;
            } else {
                EXPECT_TRUE(TrayPaletteColour(letter).has_value()) << letter;
            }
        }
    }
    // Five columns of the top right and of the bottom left are empty, minus the slanted edge.
    EXPECT_EQ(transparent, 5 * 5 + 4 + 3 + 2 + 1 + 4 * 5);
    const TrayPicture picture = DecodeTrayPicture(kTrayMailImage);
    EXPECT_EQ(std::count(picture.transparent.begin(), picture.transparent.end(), true), transparent);
}

TEST(TrayPictures, TheShellsSmallIconSizeGetsTheLargestPictureDrawnNoLarger) {
    for (const auto& [asked, drawn] :
         {std::pair{16, 16}, std::pair{12, 16}, std::pair{18, 16}, std::pair{20, 20}, std::pair{22, 20},
          std::pair{24, 24}, std::pair{31, 24}, std::pair{32, 32}, std::pair{48, 32}}) {
        EXPECT_EQ(TrayPictureSizeFor(asked), drawn) << asked;
    }
}

TEST(TrayPictures, LargerPicturesAreTheSameMapScaledByWholePixels) {
    for (const int size : kTrayPictureSizes) {
        const TrayPicture mail = DecodeTrayPicture(kTrayMailImage, size);
        const TrayPicture blank = DecodeTrayPicture(kTrayBlankImage, size);
        ASSERT_EQ(mail.size, size);
        ASSERT_EQ(mail.colour.size(), static_cast<std::size_t>(size * size));
        EXPECT_EQ(std::count(blank.transparent.begin(), blank.transparent.end(), true), size * size);
        const auto& small = TrayMailPixelMap();
        for (int y = 0; y < size; ++y) {
            ASSERT_EQ(TrayMailPixelMap(size)[static_cast<std::size_t>(y)].size(), static_cast<std::size_t>(size));
            for (int x = 0; x < size; ++x) {
                // Each pixel is the small picture's pixel under its centre.
                const char letter = small[static_cast<std::size_t>((2 * y + 1) * 16 / (2 * size))]
                                         [static_cast<std::size_t>((2 * x + 1) * 16 / (2 * size))];
                EXPECT_EQ(mail.TransparentAt(x, y), letter == '.') << size << ": " << x << "," << y;
                EXPECT_EQ(mail.ColourAt(x, y), TrayPaletteColour(letter).value_or(0)) << size << ": " << x << "," << y;
            }
        }
    }
}

TEST(TrayPictures, BlankImageIsTransparentEverywhere) {
    const TrayPicture picture = DecodeTrayPicture(kTrayBlankImage);
    for (int i = 0; i < kTrayPicturePixels; ++i) {
        EXPECT_TRUE(picture.transparent[static_cast<std::size_t>(i)]);
        EXPECT_EQ(picture.colour[static_cast<std::size_t>(i)], 0u);
    }
}

// The program's icon file, drawn by tools/art/draw-tray-icon.py: the same motif in the 16-colour palette.
class ProgramIconFile : public ::testing::Test {
  protected:
    void SetUp() override {
        // The source tree from CTest, or else from where this file was compiled (tests/tray/ under the root).
        const char* source = std::getenv("PIGEONET_SOURCE_DIR");
        const std::string here = __FILE__;
        const std::string root = source ? source : here.substr(0, here.rfind("/tests/tray/"));
        std::ifstream file(root + "/src/tray/pigeonet.ico", std::ios::binary);
        ASSERT_TRUE(file) << "pigeonet.ico not found under " << root;
        bytes_.assign(std::istreambuf_iterator<char>(file), {});
    }
    unsigned U8(std::size_t at) const { return static_cast<unsigned char>(bytes_.at(at)); }
    unsigned U16(std::size_t at) const { return U8(at) | U8(at + 1) << 8; }
    unsigned U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }

    std::vector<char> bytes_;
};

TEST_F(ProgramIconFile, HoldsTheMailMotifInSixteenColours) {
    ASSERT_GE(bytes_.size(), 6u + 16u);
    EXPECT_EQ(U16(2), 1u);  // an icon, not a cursor
    ASSERT_GE(U16(4), 1u);
    // The first image is the 16 x 16 one, 4 bits per pixel.
    EXPECT_EQ(U8(6), 16u);
    EXPECT_EQ(U8(7), 16u);
    const std::size_t image = U32(6 + 12);
    ASSERT_EQ(U32(image), 40u);
    EXPECT_EQ(U16(image + 14), 4u);
    const std::set<std::uint32_t> sixteenColours = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                    0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    std::uint32_t palette[16];
    for (std::size_t i = 0; i < 16; ++i) {
        const std::size_t at = image + 40 + 4 * i;
        palette[i] = U8(at + 2) << 16 | U8(at + 1) << 8 | U8(at);
    }
    const std::size_t colourRows = image + 40 + 64;
    const std::size_t maskRows = colourRows + 16 * 8;

    const TrayPicture mail = DecodeTrayPicture(kTrayMailImage);
    for (int y = 0; y < 16; ++y) {
        const std::size_t row = static_cast<std::size_t>(15 - y);  // bottom-up
        for (int x = 0; x < 16; ++x) {
            const unsigned maskByte = U8(maskRows + row * 4 + static_cast<std::size_t>(x / 8));
            const bool transparent = (maskByte >> (7 - x % 8)) & 1;
            ASSERT_EQ(transparent, mail.TransparentAt(x, y)) << x << "," << y;
            if (transparent) {
                continue;
            }
            const unsigned pair = U8(colourRows + row * 8 + static_cast<std::size_t>(x / 2));
            const std::uint32_t colour = palette[x % 2 ? pair & 0xF : pair >> 4];
            EXPECT_TRUE(sixteenColours.count(colour)) << x << "," << y;
            const std::uint32_t original = mail.ColourAt(x, y);
            if (original == 0xFF6E00) {
                EXPECT_EQ(colour, 0xFF0000u) << "lines of text are red, " << x << "," << y;
            } else if (sixteenColours.count(original)) {
                EXPECT_EQ(colour, original) << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace pigeonet
