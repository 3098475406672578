#pragma once

#include <windows.h>

#include <objidl.h>
#include <gdiplus.h>

#include "util/gdiplus_win32.h"

#include <memory>
#include <string>

namespace pigeonet {

// The pictures of the settings dialog. The header pictures come from PNG resources of the executable
// (resource type "PNG", names below); the group icons and the play glyph, and any header picture the executable
// lacks, are drawn here.
enum class DialogPicture {
    HeaderImage,  // 40 x 40, "SETTINGS_HEADER_IMAGE"
    HeaderIcon,   // 32 x 32, "SETTINGS_HEADER_ICON", drawn over the image's corner
    MailProgram,  // 32 x 32, the mail program group
    Interval,     // 32 x 32, the check interval group
    Sound,        // 32 x 32, the sound group
    Play,         // 16 x 16, the play button's glyph
};

// Decodes PNG bytes; nullptr when they are no picture GDI+ can read. Needs a GdiplusSession.
std::unique_ptr<Gdiplus::Bitmap> DecodePng(const void* bytes, std::size_t size);

// The one place the dialog's pictures are loaded: the executable's PNG resource when there is one (scaled smoothly
// when drawn on a screen of another resolution), otherwise a picture drawn here at the screen's resolution (the
// sizes above times DPI/96). Needs a GdiplusSession; never nullptr.
std::unique_ptr<Gdiplus::Bitmap> LoadDialogPicture(HINSTANCE instance, DialogPicture picture);

// Draws a picture into `bounds` with its alpha, over what is already there.
void DrawPicture(HDC dc, const RECT& bounds, Gdiplus::Bitmap& picture);

// The picture as an icon (for a button glyph); the caller destroys it.
HICON PictureIcon(Gdiplus::Bitmap& picture);

// Writes a bitmap to a PNG file (screenshots in tests). False when it cannot.
bool SavePng(HBITMAP bitmap, const std::wstring& path);

}  // namespace pigeonet
