#include "notify/envelope_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "notify/envelope_captions.h"
#include "notify/envelope_text_win32.h"
#include "notify/support/envelope_test_win32.h"
#include "util/errors.h"
#include "util/shell_paths_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using namespace testing;
using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST_F(EnvelopeTest, ShowMakesTheWindowLayeredAtPictureSizeWithTheAddressAsHint) {
    Make();
    envelope->ShowEnvelope(3, "анна@example.org");

    const auto exStyle = static_cast<DWORD>(GetWindowLongW(main, GWL_EXSTYLE));
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    const RECT rect = RectOf(main);
    EXPECT_EQ(rect.right - rect.left, kPictureSize);
    EXPECT_EQ(rect.bottom - rect.top, kPictureSize);
    EXPECT_EQ(rect.top, Screen().height);  // neither moved
    EXPECT_FALSE(IsWindowVisible(main));   // nor shown
    EXPECT_EQ(envelope->Hint(), "анна@example.org");
    EXPECT_EQ(TooltipText(), L"анна@example.org");
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(EnvelopeTest, ShowWritesThePictureToTheTemporaryFolderOnlyForAMoment) {
    const std::string path = TempFolderPath() + "pg.png";
    {
        std::ofstream stale(path, std::ios::binary);
        stale << "left over";
    }
    ASSERT_TRUE(FileExists(path));
    Make();
    envelope->ShowEnvelope(1, "a@example.org");
    EXPECT_FALSE(FileExists(path));
    EXPECT_NE(envelope->EnvelopeBitmap(), nullptr);  // so it was written and decoded before it went
}

TEST_F(EnvelopeTest, CountIsAnUnsmoothedBlackOutlineAtItsPlaceAndThePictureKeepsItsAlpha) {
    struct Case {
        int count;
        int left;   // layout origin X; Y is 84
        int right;  // the outline's last column cannot lie beyond this
    };
    for (const Case& c : {Case{1, 57, 57 + 16}, Case{10, 51, 51 + 30}, Case{100, 45, 45 + 44}}) {
        SCOPED_TRACE("count " + std::to_string(c.count));
        Make();
        envelope->ShowEnvelope(c.count, "a@example.org");
        const auto pixels = Pixels();
        int black = 0;
        int minX = kPictureSize, maxX = -1, minY = kPictureSize, maxY = -1;
        // Between the two painted captions (rows 50..54 and 110..116) the picture has no dark opaque pixels of its
        // own; the outline is drawn opaque black, not punched out as a transparent hole.
        for (int y = 58; y < 108; ++y) {
            for (int x = 0; x < kPictureSize; ++x) {
                const std::uint32_t p = pixels[y * kPictureSize + x];
                if (Alpha(p) >= 200 && Red(p) < 40 && Green(p) < 40 && Blue(p) < 40) {
                    ++black;
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
            }
        }
        EXPECT_GE(black, 30 * static_cast<int>(std::to_string(c.count).size()));
        EXPECT_GE(minX, c.left);
        EXPECT_LE(minX, c.left + 6);
        EXPECT_LE(maxX, c.right);
        EXPECT_GE(minY, 84);
        EXPECT_LE(maxY, 107);
        // Unsmoothed: the outline holds no greys between black and the pale flap.
        int greys = 0;
        for (int y = minY; y <= maxY; ++y) {
            for (int x = minX; x <= maxX; ++x) {
                const std::uint32_t p = pixels[y * kPictureSize + x];
                const int darkest = std::min({Red(p), Green(p), Blue(p)});
                greys += darkest >= 40 && darkest < 120;
            }
        }
        EXPECT_EQ(greys, 0);

        for (int corner : {0, kPictureSize - 1, kPictureSize * (kPictureSize - 1), kPictureSize * kPictureSize - 1}) {
            EXPECT_EQ(Alpha(pixels[corner]), 0);
        }
        EXPECT_EQ(Alpha(pixels[70 * kPictureSize + 20]), 242);   // the envelope's body
        EXPECT_EQ(Alpha(pixels[95 * kPictureSize + 110]), 242);  // the flap beside the count
        int notPremultiplied = 0;
        for (std::uint32_t p : pixels) {
            notPremultiplied += Red(p) > Alpha(p) || Green(p) > Alpha(p) || Blue(p) > Alpha(p);
        }
        EXPECT_EQ(notPremultiplied, 0);
    }
}

TEST_F(EnvelopeTest, CaptionsAreWrittenInTheLanguageOfEachShowInTheirPlaces) {
    Make();
    std::vector<std::vector<std::uint32_t>> shown;
    for (LanguageIndex language : {LanguageIndex::Russian, LanguageIndex::English, LanguageIndex::German}) {
        SCOPED_TRACE("language " + std::to_string(static_cast<int>(language)));
        host.language = language;
        envelope->ShowEnvelope(7, "a@example.org");
        const auto pixels = Pixels();
        int inPlaces = 0;
        for (const EnvelopeCaption& caption : EnvelopeCaptions(language, kPictureSize)) {
            SCOPED_TRACE(caption.text);
            const CaptionPlace& place = caption.place;
            // Ascenders and descenders reach beyond the rows of the lower-case letters.
            const InkSpan ink = CaptionInkIn(pixels, kPictureSize, place.top - 4, place.bottom + 3);
            EXPECT_GE(ink.pixels, 25);
            EXPECT_GE(ink.left, place.left);  // never beyond its place, never clipped by it
            EXPECT_LE(ink.right, place.right);
            EXPECT_GE(ink.right - ink.left, place.Width() / 2);
            EXPECT_LE(ink.top, place.top + 1);
            EXPECT_GE(ink.bottom, place.bottom);
            EXPECT_LE(ink.bottom, place.bottom + 3);
            inPlaces += ink.pixels;
        }
        EXPECT_EQ(CaptionInkIn(pixels, kPictureSize, 0, kPictureSize - 1).pixels, inPlaces);  // nowhere else
        shown.push_back(pixels);
    }
    EXPECT_NE(shown[0], shown[1]);
    EXPECT_NE(shown[1], shown[2]);

    // The hidden fourth language has no texts: no captions, the count as ever.
    host.language = LanguageIndex::Kazakh;
    envelope->ShowEnvelope(7, "a@example.org");
    EXPECT_EQ(CaptionInkIn(Pixels(), kPictureSize, 0, kPictureSize - 1).pixels, 0);
}

// Run in the ordinary prefix, which has Tahoma, and by tests/notify/no-tahoma-suite.sh in one without it.
TEST_F(EnvelopeTest, WritesWithTahomaOrWhereItIsMissingWithTheSystemsUiFont) {
    Make();
    namespace gdip = Gdiplus::DllExports;
    Gdiplus::GpFontFamily* tahoma = nullptr;
    const bool haveTahoma = gdip::GdipCreateFontFamilyFromName(L"Tahoma", nullptr, &tahoma) == Gdiplus::Ok;
    gdip::GdipDeleteFontFamily(tahoma);
    if (std::getenv("PIGEONET_EXPECT_NO_TAHOMA")) {
        ASSERT_FALSE(haveTahoma) << "this prefix still has Tahoma";
    }
    const EnvelopeFont font = ChooseEnvelopeFont();
    ASSERT_NE(font.family, nullptr);
    const std::string face = FontFamilyName(font.family.get());
    std::printf("envelope font: %s%s\n", face.c_str(), font.style == Gdiplus::FontStyleBold ? " bold" : "");
    if (haveTahoma) {
        EXPECT_EQ(face, "Tahoma");
        EXPECT_EQ(font.style, Gdiplus::FontStyleBold);
    } else {
        EXPECT_NE(face, "");
    }

    host.language = LanguageIndex::English;
    envelope->ShowEnvelope(12, "a@example.org");
    const auto pixels = Pixels();
    int black = 0;
    for (int y = 80; y < 110; ++y) {
        for (int x = 30; x < 105; ++x) {
            const std::uint32_t p = pixels[y * kPictureSize + x];
            black += Alpha(p) >= 200 && Red(p) < 40 && Green(p) < 40 && Blue(p) < 40;
        }
    }
    EXPECT_GE(black, 60);  // two digits
    for (const EnvelopeCaption& caption : EnvelopeCaptions(LanguageIndex::English, kPictureSize)) {
        EXPECT_GE(CaptionInkIn(pixels, kPictureSize, caption.place.top - 4, caption.place.bottom + 3).pixels, 25)
            << caption.text;
    }
}

TEST_F(EnvelopeTest, EveryShowReplacesTheBitmapAndDestroyReleasesIt) {
    Make();
    envelope->ShowEnvelope(1, "a@example.org");
    const HBITMAP first = envelope->EnvelopeBitmap();
    ASSERT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
    envelope->ShowEnvelope(2, "b@example.org");
    const HBITMAP second = envelope->EnvelopeBitmap();
    ASSERT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(envelope->Hint(), "b@example.org");
    envelope->FormDestroy();
    EXPECT_EQ(envelope->EnvelopeBitmap(), nullptr);
    EXPECT_EQ(GetObjectType(second), 0u);
}

TEST_F(EnvelopeTest, MissingPictureResourceFailsBeforeAnythingIsDrawn) {
    // This test program carries no PG resource, so the real loader must fail.
    Win32EnvelopePlatform system(application);
    Envelope real(main, system, host);
    try {
        real.ShowEnvelope(1, "a@example.org");
        FAIL() << "no failure";
    } catch (const AppError& failure) {
        EXPECT_STREQ(failure.what(), "Resource PG not found");
    }
    EXPECT_EQ(real.EnvelopeBitmap(), nullptr);
}

TEST_F(EnvelopeTest, TemporaryFileThatCannotBeCreatedFailsTheShow) {
    platform.tempFolder = "Z:\\no\\such\\folder\\";
    Make();
    try {
        envelope->ShowEnvelope(1, "a@example.org");
        FAIL() << "no failure";
    } catch (const AppError& failure) {
        EXPECT_THAT(failure.what(), StartsWith("Cannot create file \"Z:\\no\\such\\folder\\pg.png\". "));
    }
    EXPECT_EQ(envelope->EnvelopeBitmap(), nullptr);
}

TEST_F(EnvelopeTest, LayeredStyleThatCannotBeSetIsReportedAndDrawingGoesOn) {
    Make();
    DestroyWindow(main);  // every style write now fails
    envelope->ShowEnvelope(1, "a@example.org");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_THAT(platform.messages[0], HasSubstr("andle"));  // "Invalid window handle."
    EXPECT_NE(envelope->EnvelopeBitmap(), nullptr);
    main = nullptr;
}

}  // namespace
}  // namespace pigeonet
