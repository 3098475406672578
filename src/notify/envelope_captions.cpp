#include "notify/envelope_captions.h"

#include "i18n/translation_table.h"

#include <algorithm>
#include <cmath>

namespace pigeonet {

namespace {

constexpr std::size_t kNewLetterLine = 40;
constexpr std::size_t kInTotalLine = 41;
constexpr CaptionPlace kNewLetterPlace{35, 50, 100, 54};
constexpr CaptionPlace kInTotalPlace{51, 110, 83, 116};

// A pixel edge of the 135 picture on a picture of `size`, rounded to the nearest.
int EdgeForSize(int edge, int size) {
    return (edge * size + kEnvelopeWidth / 2) / kEnvelopeWidth;
}

// The place covers the same area of a larger picture: its outer edges scale, not its first and last pixels.
CaptionPlace PlaceForSize(const CaptionPlace& place, int size) {
    return {EdgeForSize(place.left, size), EdgeForSize(place.top, size), EdgeForSize(place.right + 1, size) - 1,
            EdgeForSize(place.bottom + 1, size) - 1};
}

}  // namespace

std::array<EnvelopeCaption, 2> EnvelopeCaptions(LanguageIndex language, int envelopeSize) {
    const std::int64_t field = static_cast<std::int64_t>(language) + 1;
    return {EnvelopeCaption{GetSubStr(tLang[kNewLetterLine], ';', field), PlaceForSize(kNewLetterPlace, envelopeSize)},
            EnvelopeCaption{GetSubStr(tLang[kInTotalLine], ';', field), PlaceForSize(kInTotalPlace, envelopeSize)}};
}

InkBox InkBounds(const Coverage& coverage) {
    InkBox box{coverage.width, coverage.height, -1, -1};
    for (int y = 0; y < coverage.height; ++y) {
        for (int x = 0; x < coverage.width; ++x) {
            if (coverage.At(x, y) != 0) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    return box.right < 0 ? InkBox{} : box;
}

float CaptionEmSize(const CaptionPlace& place, float measuredEm, int xHeight) {
    if (xHeight <= 0) {
        return measuredEm;
    }
    return measuredEm * static_cast<float>(place.Height()) / static_cast<float>(xHeight);
}

float FittedEmSize(const CaptionPlace& place, float em, int inkWidth) {
    const float narrowest = static_cast<float>(inkWidth) * kNarrowestCaption;
    if (narrowest <= static_cast<float>(place.Width())) {
        return em;
    }
    return em * static_cast<float>(place.Width()) / narrowest;
}

Coverage NarrowedTo(const Coverage& coverage, int width) {
    if (width >= coverage.width || width <= 0) {
        return coverage;
    }
    // Box filter: new column x spans old columns [x * scale, (x + 1) * scale), partly covered at both ends.
    Coverage narrowed(width, coverage.height);
    const double scale = static_cast<double>(coverage.width) / width;
    for (int x = 0; x < width; ++x) {
        const double from = x * scale;
        const double to = from + scale;
        for (int y = 0; y < coverage.height; ++y) {
            double sum = 0;
            for (int old = static_cast<int>(from); old < coverage.width && old < to; ++old) {
                const double share = std::min<double>(old + 1, to) - std::max<double>(old, from);
                sum += share * coverage.At(old, y);
            }
            const long value = std::lround(sum / scale);
            narrowed.values[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(std::min(255L, value));
        }
    }
    return narrowed;
}

PlacedCoverage PlaceCaption(const Coverage& coverage, int baselineRow, const CaptionPlace& place) {
    InkBox ink = InkBounds(coverage);
    if (ink.Empty()) {
        return {};
    }
    // Only the ink is kept, so the narrowing squeezes letters, not the empty margins around them.
    Coverage inked(ink.Width(), coverage.height);
    for (int y = 0; y < coverage.height; ++y) {
        for (int x = 0; x < ink.Width(); ++x) {
            inked.values[static_cast<std::size_t>(y) * inked.width + x] = coverage.At(ink.left + x, y);
        }
    }
    PlacedCoverage placed{NarrowedTo(inked, place.Width()), 0, 0};
    placed.left = place.left + (place.Width() - placed.coverage.width) / 2;
    placed.top = place.bottom + 1 - baselineRow;
    return placed;
}

void InkOnto(std::uint32_t* pixels, int width, int height, const PlacedCoverage& placed, std::uint32_t colour) {
    const Coverage& coverage = placed.coverage;
    for (int cy = 0; cy < coverage.height; ++cy) {
        const int y = placed.top + cy;
        if (y < 0 || y >= height) {
            continue;
        }
        for (int cx = 0; cx < coverage.width; ++cx) {
            const int x = placed.left + cx;
            const unsigned share = coverage.At(cx, cy);
            if (x < 0 || x >= width || share == 0) {
                continue;
            }
            std::uint32_t& pixel = pixels[static_cast<std::size_t>(y) * width + x];
            const unsigned alpha = pixel >> 24;
            std::uint32_t mixed = alpha << 24;
            for (int shift : {16, 8, 0}) {
                // Premultiplied: the ink's channel at this pixel's alpha, mixed with what lies under it.
                const unsigned under = (pixel >> shift) & 0xFF;
                const unsigned ink = ((colour >> shift) & 0xFF) * alpha / 255;
                const unsigned channel = (ink * share + under * (255 - share) + 127) / 255;
                mixed |= std::min(channel, alpha) << shift;
            }
            pixel = mixed;
        }
    }
}

}  // namespace pigeonet
