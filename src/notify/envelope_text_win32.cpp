#include "notify/envelope_text_win32.h"

#include "util/handles_win32.h"
#include "util/unicode_win32.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace pigeonet {

namespace {

namespace gdip = Gdiplus::DllExports;

constexpr wchar_t kDesignFace[] = L"Tahoma";
// The x-height of a font is measured on a letter drawn this large (pixels), where hinting barely rounds it.
constexpr float kMeasuringEm = 40.0f;

GdipFontFamilyPtr FamilyNamed(const std::wstring& face) {
    Gdiplus::GpFontFamily* family = nullptr;
    if (face.empty() || gdip::GdipCreateFontFamilyFromName(face.c_str(), nullptr, &family) != Gdiplus::Ok) {
        return {};
    }
    return GdipFontFamilyPtr(family);
}

// The system's UI font as its settings name it, and as GDI realises it: a named face that is not installed is
// replaced by another, and the realised face is that one.
std::vector<std::wstring> SystemUiFaces() {
    std::vector<std::wstring> faces;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    const bool haveMetrics = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    if (haveMetrics) {
        faces.emplace_back(metrics.lfMessageFont.lfFaceName);
    }
    LOGFONTW guiFont{};
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(guiFont), &guiFont) == sizeof(guiFont)) {
        faces.emplace_back(guiFont.lfFaceName);
    }
    for (const LOGFONTW* logical : {haveMetrics ? &metrics.lfMessageFont : nullptr, &guiFont}) {
        if (!logical) {
            continue;
        }
        const UniqueFont font(CreateFontIndirectW(logical));
        const ScopedGetDc screen(nullptr);
        const ScopedSelectObject selected(screen.get(), font.get());
        wchar_t realised[LF_FACESIZE] = {};
        if (font && GetTextFaceW(screen.get(), LF_FACESIZE, realised) > 0) {
            faces.emplace_back(realised);
        }
    }
    return faces;
}

// The pixels of a 32-bit DIB section, row by row from the top, and back.
struct DibPixels {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes from one row to the next one down; negative for a bottom-up section
};

DibPixels PixelsOf(HBITMAP bitmap) {
    DIBSECTION section{};
    if (!bitmap || GetObjectW(bitmap, sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits ||
        section.dsBm.bmBitsPixel != 32) {
        return {};
    }
    GdiFlush();
    DibPixels pixels{static_cast<std::uint8_t*>(section.dsBm.bmBits), section.dsBm.bmWidth, section.dsBm.bmHeight,
                     section.dsBm.bmWidthBytes};
    if (section.dsBmih.biHeight > 0) {
        pixels.bits += static_cast<std::ptrdiff_t>(pixels.height - 1) * pixels.stride;
        pixels.stride = -pixels.stride;
    }
    return pixels;
}

// `text` written at `em` pixels (rounded to whole pixels) in white on a black canvas with room all round, its
// coverage being the brightness. GDI writes it rather than GDI+: its anti-aliased glyphs come from the family's own
// bold face, hinted for the pixel grid, as a caption this small needs to stay legible. The same em always puts the
// baseline on the same row, whatever the text.
Coverage Written(const EnvelopeFont& font, float em, const std::wstring& text, float narrowing = 1.0f) {
    const int pixels = std::max(1, static_cast<int>(std::lround(em)));
    const int margin = pixels;
    const int width = pixels * static_cast<int>(text.size() + 2);
    const int height = margin * 3;
    const std::wstring face = Widen(FontFamilyName(font.family.get()));
    const auto create = [&](int averageWidth) {
        return UniqueFont(CreateFontW(-pixels, averageWidth, 0, 0,
                                      font.style == Gdiplus::FontStyleBold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                      DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                      DEFAULT_PITCH, face.c_str()));
    };
    UniqueFont gdiFont = create(0);
    const ScopedGetDc screen(nullptr);
    if (narrowing < 1.0f && gdiFont) {
        // Narrower letters of the same height, hinted as such: sharper than squeezing the written pixels.
        TEXTMETRICW metrics{};
        {
            const ScopedSelectObject selected(screen.get(), gdiFont.get());
            GetTextMetricsW(screen.get(), &metrics);
        }
        const int averageWidth = static_cast<int>(std::lround(static_cast<float>(metrics.tmAveCharWidth) * narrowing));
        if (averageWidth > 0) {
            gdiFont = create(averageWidth);
        }
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB};
    void* bits = nullptr;
    const UniqueBitmap canvas(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    if (!gdiFont || !canvas || !dc || !bits) {
        return {};
    }
    {
        const ScopedSelectObject selectedCanvas(dc.get(), canvas.get());
        const ScopedSelectObject selectedFont(dc.get(), gdiFont.get());
        std::memset(bits, 0, static_cast<std::size_t>(width) * height * 4);
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), RGB(255, 255, 255));
        TextOutW(dc.get(), margin, margin / 2, text.c_str(), static_cast<int>(text.size()));
        GdiFlush();
    }
    Coverage coverage(width, height);
    const auto* canvasPixels = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < coverage.values.size(); ++i) {
        coverage.values[i] = static_cast<std::uint8_t>((canvasPixels[i] >> 8) & 0xFF);
    }
    return coverage;
}

// The row just below the font's lower-case letters at `em`, in the canvas that Written draws on.
int BaselineRow(const EnvelopeFont& font, float em) {
    const InkBox x = InkBounds(Written(font, em, L"x"));
    return x.Empty() ? static_cast<int>(std::lround(em * 1.5f)) : x.bottom + 1;
}

void WriteCaption(std::vector<std::uint32_t>& pixels,
                  int width,
                  int height,
                  const EnvelopeCaption& caption,
                  const EnvelopeFont& font) {
    if (caption.text.empty()) {
        return;
    }
    const InkBox measured = InkBounds(Written(font, kMeasuringEm, L"x"));
    if (measured.Empty()) {
        return;
    }
    const std::wstring text = Widen(caption.text);
    float em = CaptionEmSize(caption.place, kMeasuringEm, measured.Height());
    Coverage coverage = Written(font, em, text);
    const float fitted = FittedEmSize(caption.place, em, InkBounds(coverage).Width());
    if (fitted < em) {
        em = fitted;
        coverage = Written(font, em, text);
    }
    // What is still too wide is written with narrower letters; PlaceCaption squeezes away any last column.
    if (const int width = InkBounds(coverage).Width(); width > caption.place.Width()) {
        coverage = Written(font, em, text, static_cast<float>(caption.place.Width()) / static_cast<float>(width));
    }
    InkOnto(pixels.data(), width, height, PlaceCaption(coverage, BaselineRow(font, em), caption.place), kCaptionColour);
}

}  // namespace

EnvelopeFont ChooseEnvelopeFont() {
    EnvelopeFont font;
    font.family = FamilyNamed(kDesignFace);
    if (!font.family) {
        for (const std::wstring& face : SystemUiFaces()) {
            if ((font.family = FamilyNamed(face))) {
                break;
            }
        }
    }
    if (!font.family) {
        Gdiplus::GpFontFamily* generic = nullptr;
        gdip::GdipGetGenericFontFamilySansSerif(&generic);
        // The generic families belong to GDI+; a clone is ours to delete.
        Gdiplus::GpFontFamily* clone = nullptr;
        if (generic) {
            gdip::GdipCloneFontFamily(generic, &clone);
        }
        font.family.reset(clone);
    }
    BOOL bold = FALSE;
    if (font.family) {
        gdip::GdipIsStyleAvailable(font.family.get(), Gdiplus::FontStyleBold, &bold);
    }
    font.style = bold ? Gdiplus::FontStyleBold : Gdiplus::FontStyleRegular;
    return font;
}

std::string FontFamilyName(Gdiplus::GpFontFamily* family) {
    wchar_t name[LF_FACESIZE] = {};
    if (!family || gdip::GdipGetFamilyName(family, name, LANG_NEUTRAL) != Gdiplus::Ok) {
        return {};
    }
    return Narrow(name);
}

void WriteCaptions(HBITMAP bitmap, const std::array<EnvelopeCaption, 2>& captions, const EnvelopeFont& font) {
    const DibPixels dib = PixelsOf(bitmap);
    if (!dib.bits || !font.family) {
        return;
    }
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(dib.width) * dib.height);
    for (int y = 0; y < dib.height; ++y) {
        std::memcpy(&pixels[static_cast<std::size_t>(y) * dib.width], dib.bits + std::ptrdiff_t{y} * dib.stride,
                    static_cast<std::size_t>(dib.width) * 4);
    }
    for (const EnvelopeCaption& caption : captions) {
        WriteCaption(pixels, dib.width, dib.height, caption, font);
    }
    for (int y = 0; y < dib.height; ++y) {
        std::memcpy(dib.bits + std::ptrdiff_t{y} * dib.stride, &pixels[static_cast<std::size_t>(y) * dib.width],
                    static_cast<std::size_t>(dib.width) * 4);
    }
}

}  // namespace pigeonet
