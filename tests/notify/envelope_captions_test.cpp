#include "notify/envelope_captions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace pigeonet {
namespace {

TEST(EnvelopeCaptions, FollowTheLanguageAndKeepTheirPlacesAtEverySize) {
    struct Case {
        LanguageIndex language;
        const char* newLetter;
        const char* inTotal;
    };
    for (const Case& c :
         {Case{LanguageIndex::Russian, "новое письмо", "всего"}, Case{LanguageIndex::English, "new letter", "in total"},
          Case{LanguageIndex::German, "neue Post", "gesamt"}, Case{LanguageIndex::Kazakh, "", ""}}) {
        const auto captions = EnvelopeCaptions(c.language);
        EXPECT_EQ(captions[0].text, c.newLetter);
        EXPECT_EQ(captions[1].text, c.inTotal);
    }
    const auto small = EnvelopeCaptions(LanguageIndex::English, 135);
    EXPECT_EQ(small[0].place, (CaptionPlace{35, 50, 100, 54}));
    EXPECT_EQ(small[1].place, (CaptionPlace{51, 110, 83, 116}));
    const auto large = EnvelopeCaptions(LanguageIndex::English, 270);
    EXPECT_EQ(large[0].place, (CaptionPlace{70, 100, 201, 109}));
    EXPECT_EQ(large[1].place, (CaptionPlace{102, 220, 167, 233}));
    const auto middle = EnvelopeCaptions(LanguageIndex::English, 203);
    EXPECT_EQ(middle[1].place, (CaptionPlace{77, 165, 125, 175}));
}

TEST(EnvelopeCaptions, EmSizeFillsTheRowsAndShrinksOnlyWhatNarrowingCannotFit) {
    const CaptionPlace place{51, 110, 83, 116};  // 33 x 7
    EXPECT_FLOAT_EQ(CaptionEmSize(place, 40.0f, 20), 14.0f);
    EXPECT_FLOAT_EQ(FittedEmSize(place, 14.0f, 30), 14.0f);  // fits as it is
    EXPECT_FLOAT_EQ(FittedEmSize(place, 14.0f, 44), 14.0f);  // narrowed to 33
    EXPECT_FLOAT_EQ(FittedEmSize(place, 14.0f, 88), 7.0f);   // half as large, then narrowed
}

TEST(EnvelopeCaptions, TooWideCaptionIsNarrowedIntoItsPlaceCentredOnTheBaseline) {
    Coverage text(60, 12);
    for (int x = 5; x < 55; ++x) {  // ink in columns 5..54, rows 2..9; the baseline is row 10
        for (int y = 2; y < 10; ++y) {
            text.values[static_cast<std::size_t>(y) * 60 + x] = 255;
        }
    }
    const CaptionPlace place{10, 20, 49, 27};  // 40 columns
    const PlacedCoverage placed = PlaceCaption(text, 10, place);
    EXPECT_EQ(placed.coverage.width, 40);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 18);  // row 10 of the coverage lands on row 28, just below the place
    const InkBox ink = InkBounds(placed.coverage);
    EXPECT_EQ(ink.Width(), 40);
    EXPECT_EQ(ink.top + placed.top, 20);

    Coverage narrow(60, 12);
    narrow.values[5 * 60 + 20] = 255;  // one column of ink
    const PlacedCoverage centred = PlaceCaption(narrow, 10, place);
    EXPECT_EQ(centred.coverage.width, 1);
    EXPECT_EQ(centred.left, 10 + 39 / 2);
    EXPECT_TRUE(InkBounds(PlaceCaption(Coverage(8, 8), 6, place).coverage).Empty());
}

TEST(EnvelopeCaptions, InkKeepsEveryPixelsAlphaAndStaysPremultiplied) {
    // Premultiplied 0xAARRGGBB: a pale pixel at alpha 242, a transparent one, and one left alone.
    std::vector<std::uint32_t> pixels = {0xF2F2E6C8u, 0x00000000u, 0xF2F2E6C8u};
    PlacedCoverage placed{Coverage(2, 1), 0, 0};
    placed.coverage.values = {255, 128};
    InkOnto(pixels.data(), 3, 1, placed, 0x3A3A3A);
    EXPECT_EQ(pixels[0], 0xF2373737u);  // the ink at alpha 242: 58 * 242 / 255 = 55
    EXPECT_EQ(pixels[1], 0x00000000u);  // nothing to write ink on
    EXPECT_EQ(pixels[2], 0xF2F2E6C8u);
    placed.left = 2;  // half beyond the right edge: dropped, not wrapped
    InkOnto(pixels.data(), 3, 1, placed, 0x3A3A3A);
    EXPECT_EQ(pixels[2], 0xF2373737u);
}

}  // namespace
}  // namespace pigeonet
