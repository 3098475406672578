#include "settings/dialogs/dialog_pictures_win32.h"

#include "settings/dialogs/dialog_controls_win32.h"
#include "util/resource.h"

#include <shlwapi.h>

#include <vector>

namespace pigeonet {

namespace {

const wchar_t* ResourceName(DialogPicture picture) {
    switch (picture) {
        case DialogPicture::HeaderImage:
            return IDR_SETTINGS_HEADER_IMAGE_NAME;
        case DialogPicture::HeaderIcon:
            return IDR_SETTINGS_HEADER_ICON_NAME;
        default:
            return nullptr;
    }
}

int PictureSize(DialogPicture picture) {
    switch (picture) {
        case DialogPicture::HeaderImage:
            return 40;
        case DialogPicture::Play:
            return 16;
        default:
            return 32;
    }
}

std::unique_ptr<Gdiplus::Bitmap> FromResource(HINSTANCE instance, const wchar_t* name) {
    if (!name) {
        return nullptr;
    }
    const HRSRC found = FindResourceW(instance, name, L"PNG");
    const HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes ? DecodePng(bytes, SizeofResource(instance, found)) : nullptr;
}

using Gdiplus::Color;

// Stand-ins in the program's colours: plain shapes that read at 32 pixels.
void DrawStandIn(Gdiplus::Graphics& g, DialogPicture picture, float size) {
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    const float s = size / 32.0f;
    Gdiplus::Pen outline(Color(255, 90, 70, 20), 1.5f * s);
    switch (picture) {
        case DialogPicture::HeaderImage:
        case DialogPicture::MailProgram: {
            // A golden envelope.
            Gdiplus::SolidBrush paper(Color(255, 246, 214, 120));
            const Gdiplus::RectF body(2 * s, 7 * s, 28 * s, 19 * s);
            g.FillRectangle(&paper, body);
            g.DrawRectangle(&outline, body);
            const Gdiplus::PointF flap[] = {{2 * s, 7 * s}, {16 * s, 18 * s}, {30 * s, 7 * s}};
            g.DrawLines(&outline, flap, 3);
            break;
        }
        case DialogPicture::HeaderIcon: {
            // A gear: a toothed ring around a hole.
            Gdiplus::SolidBrush steel(Color(255, 112, 124, 140));
            Gdiplus::Pen teeth(Color(255, 112, 124, 140), 5 * s);
            for (int i = 0; i < 4; ++i) {
                Gdiplus::Matrix turn;
                turn.RotateAt(45.0f * static_cast<float>(i), {16 * s, 16 * s});
                g.SetTransform(&turn);
                g.DrawLine(&teeth, 16 * s, 3 * s, 16 * s, 29 * s);
            }
            g.ResetTransform();
            g.FillEllipse(&steel, 7 * s, 7 * s, 18 * s, 18 * s);
            Gdiplus::SolidBrush hole(Color(255, 255, 255, 255));
            g.FillEllipse(&hole, 12 * s, 12 * s, 8 * s, 8 * s);
            break;
        }
        case DialogPicture::Interval: {
            // A clock at nine minutes past.
            Gdiplus::SolidBrush face(Color(255, 250, 250, 245));
            Gdiplus::Pen rim(Color(255, 60, 90, 150), 2.5f * s);
            g.FillEllipse(&face, 3 * s, 3 * s, 26 * s, 26 * s);
            g.DrawEllipse(&rim, 3 * s, 3 * s, 26 * s, 26 * s);
            Gdiplus::Pen hands(Color(255, 40, 40, 40), 2 * s);
            g.DrawLine(&hands, 16 * s, 16 * s, 16 * s, 8 * s);
            g.DrawLine(&hands, 16 * s, 16 * s, 22 * s, 19 * s);
            break;
        }
        case DialogPicture::Sound: {
            // A loudspeaker with two waves.
            Gdiplus::SolidBrush body(Color(255, 70, 80, 95));
            const Gdiplus::PointF cone[] = {{4 * s, 12 * s},  {10 * s, 12 * s}, {17 * s, 5 * s},
                                            {17 * s, 27 * s}, {10 * s, 20 * s}, {4 * s, 20 * s}};
            g.FillPolygon(&body, cone, 6);
            Gdiplus::Pen wave(Color(255, 60, 120, 200), 2 * s);
            g.DrawArc(&wave, 14 * s, 10 * s, 8 * s, 12 * s, -60, 120);
            g.DrawArc(&wave, 14 * s, 5 * s, 14 * s, 22 * s, -60, 120);
            break;
        }
        case DialogPicture::Play: {
            Gdiplus::SolidBrush green(Color(255, 40, 150, 60));
            const Gdiplus::PointF triangle[] = {{9 * s, 5 * s}, {26 * s, 16 * s}, {9 * s, 27 * s}};
            g.FillPolygon(&green, triangle, 3);
            break;
        }
    }
}

bool EncoderFor(const wchar_t* mimeType, CLSID& clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) {
        return false;
    }
    std::vector<BYTE> storage(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    Gdiplus::GetImageEncoders(count, bytes, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(encoders[i].MimeType, mimeType) == 0) {
            clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> DecodePng(const void* bytes, std::size_t size) {
    IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), static_cast<UINT>(size));
    if (!stream) {
        return nullptr;
    }
    std::unique_ptr<Gdiplus::Bitmap> decoded(Gdiplus::Bitmap::FromStream(stream));
    stream->Release();
    if (!decoded || decoded->GetLastStatus() != Gdiplus::Ok) {
        return nullptr;
    }
    // Copy the pixels out, so the bitmap no longer depends on the stream it was read from.
    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(decoded->GetWidth()),
                                                  static_cast<INT>(decoded->GetHeight()), PixelFormat32bppARGB);
    Gdiplus::Graphics g(copy.get());
    g.DrawImage(decoded.get(), 0, 0, static_cast<INT>(decoded->GetWidth()), static_cast<INT>(decoded->GetHeight()));
    return copy;
}

std::unique_ptr<Gdiplus::Bitmap> LoadDialogPicture(HINSTANCE instance, DialogPicture picture) {
    if (auto stored = FromResource(instance, ResourceName(picture))) {
        return stored;
    }
    // Drawn for the screen's resolution, so the shapes stay crisp on a larger screen.
    const int size = Scaled(PictureSize(picture));
    auto drawn = std::make_unique<Gdiplus::Bitmap>(size, size, PixelFormat32bppARGB);
    Gdiplus::Graphics g(drawn.get());
    g.Clear(Color(0, 0, 0, 0));
    DrawStandIn(g, picture, static_cast<float>(size));
    return drawn;
}

void DrawPicture(HDC dc, const RECT& bounds, Gdiplus::Bitmap& picture) {
    Gdiplus::Graphics g(dc);
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    g.DrawImage(&picture, static_cast<INT>(bounds.left), static_cast<INT>(bounds.top),
                static_cast<INT>(bounds.right - bounds.left), static_cast<INT>(bounds.bottom - bounds.top));
}

HICON PictureIcon(Gdiplus::Bitmap& picture) {
    HICON icon = nullptr;
    picture.GetHICON(&icon);
    return icon;
}

bool SavePng(HBITMAP bitmap, const std::wstring& path) {
    CLSID png{};
    if (!EncoderFor(L"image/png", png)) {
        return false;
    }
    Gdiplus::Bitmap image(bitmap, nullptr);
    return image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace pigeonet
