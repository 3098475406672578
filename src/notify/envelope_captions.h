#pragma once

#include "i18n/language.h"
#include "notify/envelope_motion.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace pigeonet {

// Where a caption is written on the envelope, in pixels of the picture, inclusive: the rows its lower-case letters
// fill (its x-height, so the baseline runs just below `bottom`; ascenders and descenders reach beyond) and the
// columns it may take. Its ink is centred on the columns.
struct CaptionPlace {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
    bool operator==(const CaptionPlace&) const = default;
};

struct EnvelopeCaption {
    std::string text;  // UTF-8; empty: nothing is written
    CaptionPlace place;
};

// The envelope's two captions in `language`, at their places on a picture of `envelopeSize` pixels: "new letter"
// across the sheet (rows 50..54, columns 35..100 of the 135 picture) and "in total" on the pale front flap, below
// the count (rows 110..116, columns 51..83). The hidden fourth language has no texts, so both are empty.
std::array<EnvelopeCaption, 2> EnvelopeCaptions(LanguageIndex language, int envelopeSize = kEnvelopeWidth);

// The dark grey of the captions, 0xRRGGBB.
inline constexpr std::uint32_t kCaptionColour = 0x3A3A3A;

// How much of a pixel a caption's glyphs cover, 0..255, rows top-down.
struct Coverage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> values;  // width * height

    Coverage() = default;
    Coverage(int w, int h) : width(w), height(h), values(static_cast<std::size_t>(w) * h) {}
    std::uint8_t At(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
};

// The smallest box around every covered pixel, inclusive; Empty() when nothing is covered.
struct InkBox {
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;
    bool Empty() const { return right < left; }
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};
InkBox InkBounds(const Coverage& coverage);

// The em size (pixels) whose lower-case letters fill the place's rows, given their height `xHeight` measured at
// the em size `measuredEm`.
float CaptionEmSize(const CaptionPlace& place, float measuredEm, int xHeight);

// A text measured `inkWidth` wide at `em` that is wider than the place: letters narrowed to at most this share of
// their width keep their height and still read well, so a text up to that much too wide is only narrowed.
inline constexpr float kNarrowestCaption = 0.75f;
// The em size to write a text at so that narrowing it by no more than kNarrowestCaption fits it in the place: `em`
// itself when it fits that way, smaller in proportion when it does not. Never clipped, never larger.
float FittedEmSize(const CaptionPlace& place, float em, int inkWidth);

// The coverage squeezed to `width` columns (each new column averages the old ones it spans), rows unchanged.
Coverage NarrowedTo(const Coverage& coverage, int width);

// The caption's coverage written into the place: columns beyond the place's width are narrowed away (NarrowedTo),
// the ink is centred on the place's columns and the row `baselineRow` of the coverage (the first below its
// lower-case letters) lands just below the place. Returns the coverage to write and where its (0, 0) goes.
struct PlacedCoverage {
    Coverage coverage;
    int left = 0;
    int top = 0;
};
PlacedCoverage PlaceCaption(const Coverage& coverage, int baselineRow, const CaptionPlace& place);

// Writes `colour` (0xRRGGBB) as ink into premultiplied 0xAARRGGBB pixels (`width` x `height`, rows top-down) where
// the coverage has ink, its (0, 0) at (left, top). Ink on paper: every pixel keeps its alpha, so the picture's
// translucency stays as drawn; coverage beyond the picture is dropped.
void InkOnto(std::uint32_t* pixels, int width, int height, const PlacedCoverage& placed, std::uint32_t colour);

}  // namespace pigeonet
