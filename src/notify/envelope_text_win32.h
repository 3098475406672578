#pragma once

#include <windows.h>

#include <objidl.h>

#include <gdiplus.h>

#include "notify/envelope_captions.h"

#include <array>
#include <memory>
#include <string>

namespace pigeonet {

// GDI+ objects of the flat API, released by their own delete function.
template <auto Delete>
struct GdipDelete {
    template <typename Object>
    void operator()(Object* object) const {
        Delete(object);
    }
};
using GdipBitmapPtr = std::unique_ptr<Gdiplus::GpBitmap, GdipDelete<&Gdiplus::DllExports::GdipDisposeImage>>;
using GdipGraphicsPtr = std::unique_ptr<Gdiplus::GpGraphics, GdipDelete<&Gdiplus::DllExports::GdipDeleteGraphics>>;
using GdipPathPtr = std::unique_ptr<Gdiplus::GpPath, GdipDelete<&Gdiplus::DllExports::GdipDeletePath>>;
using GdipPenPtr = std::unique_ptr<Gdiplus::GpPen, GdipDelete<&Gdiplus::DllExports::GdipDeletePen>>;
using GdipBrushPtr = std::unique_ptr<Gdiplus::GpBrush, GdipDelete<&Gdiplus::DllExports::GdipDeleteBrush>>;
using GdipFontPtr = std::unique_ptr<Gdiplus::GpFont, GdipDelete<&Gdiplus::DllExports::GdipDeleteFont>>;
using GdipFontFamilyPtr =
    std::unique_ptr<Gdiplus::GpFontFamily, GdipDelete<&Gdiplus::DllExports::GdipDeleteFontFamily>>;
using GdipStringFormatPtr =
    std::unique_ptr<Gdiplus::GpStringFormat, GdipDelete<&Gdiplus::DllExports::GdipDeleteStringFormat>>;

// The font the envelope writes its count and captions with. Tahoma, which the picture was laid out for; where it
// is not installed, the system's own UI font: the face of the message font (NONCLIENTMETRICS), of DEFAULT_GUI_FONT,
// or the face GDI actually realises for the message font (the first two may name a font that is missing too, as
// under Wine without Tahoma); last, GDI+'s generic sans serif. Null only when GDI+ knows no font at all.
struct EnvelopeFont {
    GdipFontFamilyPtr family;
    // Bold when the family has it, else regular: a style the family lacks would draw nothing.
    INT style = Gdiplus::FontStyleRegular;
};
EnvelopeFont ChooseEnvelopeFont();

// The family's name (UTF-8); empty for null.
std::string FontFamilyName(Gdiplus::GpFontFamily* family);

// Writes the captions into `bitmap`, a 32-bit DIB section of premultiplied pixels, in dark grey with `font`: each
// sized so its lower-case letters fill its place's rows, narrowed or made smaller when too wide, never clipped.
// Empty captions write nothing. Does nothing to a bitmap that is not such a section.
void WriteCaptions(HBITMAP bitmap, const std::array<EnvelopeCaption, 2>& captions, const EnvelopeFont& font);

}  // namespace pigeonet
