#include "notify/envelope_win32.h"

#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>

#include "notify/envelope_captions.h"
#include "notify/envelope_text_win32.h"
#include "util/errors.h"
#include "util/resource.h"
#include "util/screen_dpi_win32.h"
#include "util/shell_paths_win32.h"
#include "util/unicode_win32.h"
#include "util/window_win32.h"

#include <memory>
#include <stdexcept>

namespace pigeonet {

namespace {

namespace gdip = Gdiplus::DllExports;

constexpr wchar_t kPictureFileName[] = L"pg.png";
constexpr Gdiplus::ARGB kCountPenColour = 0xFF000000;
constexpr Gdiplus::ARGB kTransparentBackground = 0x00000000;
constexpr DWORD kBorderStyles = WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME;

// The system's text for an error code, without the line break it ends with (UTF-8).
std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    return Narrow(text);
}

std::vector<std::uint8_t> PictureResource(int envelopeSize) {
    const wchar_t* name = envelopeSize >= EnvelopeSizeForDpi(kDesignDpi * 2)       ? IDR_ENVELOPE_PICTURE_200_NAME
                          : envelopeSize >= EnvelopeSizeForDpi(kDesignDpi * 3 / 2) ? IDR_ENVELOPE_PICTURE_150_NAME
                                                                                   : IDR_ENVELOPE_PICTURE_NAME;
    const HRSRC resource = FindResourceW(nullptr, name, L"PNG");
    const HGLOBAL loaded = resource ? LoadResource(nullptr, resource) : nullptr;
    const auto* bytes = loaded ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    if (!bytes) {
        throw AppError("Resource PG not found");
    }
    return {bytes, bytes + SizeofResource(nullptr, resource)};
}

// A GDI+ view of a 32-bit DIB section's own pixels, premultiplied as they are. The count is drawn through it rather
// than through a surface over the device context: on a device context GDI may do the drawing, and GDI writes
// alpha 0, which would punch the outline as a see-through hole into the per-pixel-alpha picture instead of drawing
// it black. Null when the bitmap is not such a section.
Gdiplus::GpBitmap* PixelsOf(HBITMAP bitmap) {
    DIBSECTION section{};
    if (!bitmap || GetObjectW(bitmap, sizeof(section), &section) != sizeof(section) || !section.dsBm.bmBits ||
        section.dsBm.bmBitsPixel != 32) {
        return nullptr;
    }
    GdiFlush();
    auto* scan0 = static_cast<BYTE*>(section.dsBm.bmBits);
    INT stride = section.dsBm.bmWidthBytes;
    if (section.dsBmih.biHeight > 0) {  // bottom-up rows: start at the top row and walk backwards
        scan0 += static_cast<std::ptrdiff_t>(section.dsBm.bmHeight - 1) * stride;
        stride = -stride;
    }
    Gdiplus::GpBitmap* pixels = nullptr;
    gdip::GdipCreateBitmapFromScan0(section.dsBm.bmWidth, section.dsBm.bmHeight, stride, PixelFormat32bppPARGB, scan0,
                                    &pixels);
    return pixels;
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

}  // namespace

void Win32EnvelopePlatform::Sleep(int milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

void Win32EnvelopePlatform::ProcessMessages() {
    ProcessPendingMessages();
}

ScreenSize Win32EnvelopePlatform::PrimaryScreenSize() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int Win32EnvelopePlatform::ScreenDpi() {
    return pigeonet::ScreenDpi();
}

std::vector<std::uint8_t> Win32EnvelopePlatform::PictureBytes(int envelopeSize) {
    return PictureResource(envelopeSize);
}

std::string Win32EnvelopePlatform::TempFolderPath() {
    return pigeonet::TempFolderPath();
}

void Win32EnvelopePlatform::ShowMessage(const std::string& text) {
    MessageBoxW(messageOwner_, Widen(text).c_str(), L"Pigeonet", MB_OK);
}

Envelope::Envelope(HWND window, EnvelopePlatform& platform, EnvelopeHost& host)
    : window_(window),
      platform_(platform),
      host_(host),
      envelopeSize_(EnvelopeSizeForDpi(platform_.ScreenDpi())),
      motion_(platform_, *this, host_, envelopeSize_) {
    // The hint shows as a tooltip while the mouse rests on the window; the tool subclasses the window to see the
    // mouse, so the main window needs no relaying of its own.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
    if (tooltip_) {
        // The version 2 record is understood by every comctl32, with or without the visual-styles manifest.
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(window_);
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tooltip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

Envelope::~Envelope() {
    ReleaseEnvelopeGraphics();
    if (tooltip_ && !IsWindow(tooltip_.get())) {
        tooltip_.release();  // destroyed with its owner, the main window
    }
}

WindowOrigin Envelope::Origin() {
    const RECT rect = WindowRect(window_);
    return {rect.left, rect.top};
}

void Envelope::MoveTo(WindowOrigin origin) {
    SetWindowPos(window_, nullptr, origin.left, origin.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Envelope::Show() {
    // Not activated: the envelope must not take the keyboard from what the user is typing into.
    ShowWindow(window_, SW_SHOWNOACTIVATE);
}

void Envelope::SetHint(const std::string& hint) {
    hint_ = hint;
    if (!tooltip_) {
        return;
    }
    const std::wstring text = Widen(hint_);
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tooltip_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Envelope::ReleaseEnvelopeGraphics() {
    envelopeDc_.reset();  // frees the bitmap from its selection
    envelopeBitmap_.reset();
}

std::string Envelope::WritePictureFile() {
    const std::vector<std::uint8_t> bytes = platform_.PictureBytes(envelopeSize_);
    const std::string path = platform_.TempFolderPath() + Narrow(kPictureFileName);
    const HANDLE file =
        CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw AppError(FormatMessageText("Cannot create file \"%s\". ", path) + SystemErrorText(error));
    }
    const UniqueKernelHandle closer(file);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw AppError("Stream write error");
    }
    return path;
}

void Envelope::ShowEnvelope(std::int32_t count, const std::string& email) {
    // No border, whatever style the window was given.
    const auto style = static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE));
    if (style & kBorderStyles) {
        SetWindowLongW(window_, GWL_STYLE, static_cast<LONG>(style & ~kBorderStyles));
        SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }

    // The previous extended style may legitimately read 0, so only a set last error counts as a failed write. The
    // user is told, and drawing goes on: the layered update below then simply shows nothing.
    const LONG exStyle = GetWindowLongW(window_, GWL_EXSTYLE);
    SetLastError(0);
    if (SetWindowLongW(window_, GWL_EXSTYLE, exStyle | WS_EX_LAYERED) == 0) {
        if (const DWORD error = GetLastError(); error != 0) {
            platform_.ShowMessage(SystemErrorText(error));
        }
    }

    ReleaseEnvelopeGraphics();

    // GDI+ decodes from a file, so the picture passes through the temporary folder for a moment.
    const std::string picturePath = WritePictureFile();
    const std::wstring widePicturePath = Widen(picturePath);
    {
        Gdiplus::GpBitmap* decoded = nullptr;
        gdip::GdipCreateBitmapFromFileICM(widePicturePath.c_str(), &decoded);
        const GdipBitmapPtr picture(decoded);
        // Premultiplied 32-bit pixels over a fully transparent background: the picture keeps its own alpha, in the
        // form the per-pixel-alpha update expects. A picture that cannot be decoded yields no bitmap and a size of
        // 0 x 0, so nothing is seen; GDI+ results are not reported.
        HBITMAP bitmap = nullptr;
        UINT width = 0;
        UINT height = 0;
        if (picture) {
            gdip::GdipCreateHBITMAPFromBitmap(picture.get(), &bitmap, kTransparentBackground);
            gdip::GdipGetImageWidth(picture.get(), &width);
            gdip::GdipGetImageHeight(picture.get(), &height);
        }
        envelopeBitmap_.reset(bitmap);
        SetWindowPos(window_, nullptr, 0, 0, static_cast<int>(width), static_cast<int>(height),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }                                      // the decoded picture lets go of the file here
    DeleteFileW(widePicturePath.c_str());  // a file left behind is overwritten by the next show

    const ScopedGetDc screen(nullptr);
    envelopeDc_.reset(CreateCompatibleDC(screen.get()));
    SelectObject(envelopeDc_.get(), envelopeBitmap_.get());  // the context is deleted before the bitmap

    const RECT rect = WindowRect(window_);
    POINT destination{rect.left, rect.top};
    SIZE size{rect.right - rect.left, rect.bottom - rect.top};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

    // The captions and the count keep their places and sizes on a picture drawn larger for the screen (measured,
    // so a picture of another size than asked for still gets them in the right places).
    const BITMAP drawn = [&] {
        BITMAP info{};
        GetObjectW(envelopeBitmap_.get(), sizeof(info), &info);
        return info;
    }();
    const int pictureSize = drawn.bmWidth > 0 ? drawn.bmWidth : kEnvelopeWidth;
    // Tahoma, or the system's UI font where it is missing: the count must show whatever fonts are installed.
    const EnvelopeFont font = ChooseEnvelopeFont();
    // Written in the language in effect at this show, so a switch of language shows on the next envelope.
    WriteCaptions(envelopeBitmap_.get(), EnvelopeCaptions(host_.InterfaceLanguage(), pictureSize), font);

    {
        // No smoothing mode: the count is stroked without anti-aliasing, as crisp one-pixel black lines. The
        // objects are released in reverse order, the drawing surface last, before the update reads the bitmap.
        const GdipBitmapPtr pixels(PixelsOf(envelopeBitmap_.get()));
        Gdiplus::GpGraphics* rawGraphics = nullptr;
        if (pixels) {
            gdip::GdipGetImageGraphicsContext(pixels.get(), &rawGraphics);
        } else {
            gdip::GdipCreateFromHDC(envelopeDc_.get(), &rawGraphics);
        }
        const GdipGraphicsPtr graphics(rawGraphics);
        Gdiplus::GpPath* rawPath = nullptr;
        gdip::GdipCreatePath(Gdiplus::FillModeAlternate, &rawPath);
        const GdipPathPtr path(rawPath);
        Gdiplus::GpPen* rawPen = nullptr;
        gdip::GdipCreatePen1(kCountPenColour, 1.0f, Gdiplus::UnitWorld, &rawPen);
        const GdipPenPtr pen(rawPen);
        Gdiplus::GpStringFormat* rawFormat = nullptr;
        gdip::GdipCreateStringFormat(0, LANG_NEUTRAL, &rawFormat);
        const GdipStringFormatPtr format(rawFormat);

        const std::string countText = CountText(count);
        SetHint(email);

        const TextOrigin origin = CountTextOrigin(countText, pictureSize);
        const Gdiplus::Rect layout(origin.x, origin.y, 0, 0);  // no wrapping, no clipping
        if (graphics && path && pen && font.family) {
            gdip::GdipAddPathStringI(path.get(), Widen(countText).c_str(), -1, font.family.get(), font.style,
                                     CountEmSize(pictureSize), &layout, format.get());
            gdip::GdipDrawPath(graphics.get(), pen.get(), path.get());
        }
    }

    GdiFlush();
    UpdateLayeredWindow(window_, screen.get(), &destination, &size, envelopeDc_.get(), &source, 0, &blend, ULW_ALPHA);
}

void Envelope::SlideIn() {
    motion_.SlideIn();
}

void Envelope::SlideOut() {
    motion_.SlideOut();
}

void Envelope::Timer2Timer() {
    motion_.Timer2Timer();
}

void Envelope::FormClick() {
    host_.StopTrayFlashing();
    motion_.EndDisplay();
    host_.OpenMail();
}

void Envelope::FormDestroy() {
    ReleaseEnvelopeGraphics();
}

}  // namespace pigeonet
