// The envelope in motion: its slides, its display time, the click on it, and where it rests at the screen's
// resolution (with screenshots for the README).
#include "notify/envelope_win32.h"

#include <objidl.h>

#include <gdiplus.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "notify/envelope_captions.h"
#include "notify/support/envelope_test_win32.h"
#include "support/message_pump_win32.h"
#include "util/screen_dpi_win32.h"

#include <algorithm>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using namespace testing;
using ::testing::ElementsAre;

// Saves top-down 0xAARRGGBB pixels (straight colour) as a PNG file with GDI+.
void SavePng(std::vector<std::uint32_t> pixels, int width, int height, const std::wstring& path) {
    namespace gdip = Gdiplus::DllExports;
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                    reinterpret_cast<BYTE*>(pixels.data()), &bitmap);
    ASSERT_NE(bitmap, nullptr);
    const CLSID png = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    EXPECT_EQ(gdip::GdipSaveImageToFile(bitmap, path.c_str(), &png, nullptr), Gdiplus::Ok) << Narrow(path);
    gdip::GdipDisposeImage(bitmap);
}

// A desktop-like backdrop: sky-blue at the top to dark teal at the bottom, straight 0xFFRRGGBB.
std::uint32_t Backdrop(int x, int y, int width, int height) {
    const int r = 40 + 40 * x / std::max(1, width);
    const int g = 110 + 60 * (height - y) / std::max(1, height);
    const int b = 130 + 100 * (height - y) / std::max(1, height);
    return 0xFF000000u | (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}

LRESULT CALLBACK BackdropProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        for (int y = 0; y < client.bottom; y += 4) {
            const std::uint32_t colour = Backdrop(client.right / 2, y, client.right, client.bottom);
            HBRUSH brush = CreateSolidBrush(RGB(Red(colour), Green(colour), Blue(colour)));
            RECT band{0, y, client.right, y + 4};
            FillRect(dc, &band, brush);
            DeleteObject(brush);
        }
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(EnvelopeTest, SlidesUpToTheCornerAndDownToTheParkingPlace) {
    const ScreenSize screen = Screen();
    for (int s : {0, 3, 10}) {
        SCOPED_TRACE("speed " + std::to_string(s));
        host.speed = s;
        platform.sleeps.clear();
        Make();
        envelope->ShowEnvelope(5, "a@example.org");
        envelope->SlideIn();
        EXPECT_TRUE(IsWindowVisible(main));
        RECT rect = RectOf(main);
        EXPECT_EQ(rect.left, screen.width - 135);
        EXPECT_EQ(rect.top, screen.height - 161);
        EXPECT_EQ(rect.right - rect.left, kPictureSize);
        EXPECT_EQ(platform.sleeps, std::vector<int>(49, 11 - s));
        if (screen.width == 1024 && screen.height == 768) {
            EXPECT_EQ(rect.left, 889);
            EXPECT_EQ(rect.top, 607);
        }

        platform.sleeps.clear();
        envelope->SlideOut();
        rect = RectOf(main);
        EXPECT_EQ(rect.left, screen.width - 135);
        EXPECT_EQ(rect.top, screen.height);
        EXPECT_TRUE(IsWindowVisible(main));  // parked, not hidden
        EXPECT_EQ(platform.sleeps, std::vector<int>(48, 11 - s));
    }
}

TEST_F(EnvelopeTest, DisplayTimerSinksTheEnvelopeAtTheTickAfterTheDisplayTime) {
    host.displayTime = 3;
    Make();
    envelope->ShowEnvelope(2, "a@example.org");
    envelope->SlideIn();
    for (int tick = 1; tick <= 3; ++tick) {
        envelope->Timer2Timer();
        EXPECT_EQ(envelope->DisplayCounter(), tick);
        EXPECT_EQ(RectOf(main).top, Screen().height - 161);
    }
    EXPECT_TRUE(host.events.empty());
    envelope->Timer2Timer();
    EXPECT_THAT(host.events, ElementsAre("timer2 off"));
    EXPECT_EQ(envelope->DisplayCounter(), 0);
    EXPECT_EQ(RectOf(main).top, Screen().height);
}

TEST_F(EnvelopeTest, ClickStopsFlashingSinksAtOnceAndOpensMail) {
    host.displayTime = 60;
    Make();
    envelope->ShowEnvelope(2, "a@example.org");
    envelope->SlideIn();
    envelope->Timer2Timer();
    envelope->FormClick();
    EXPECT_THAT(host.events, ElementsAre("stop flashing", "timer2 off", "open mail"));
    EXPECT_EQ(envelope->DisplayCounter(), 0);
    EXPECT_EQ(RectOf(main).top, Screen().height);
}

// Not a check: the pictures kept for the README, the envelope at rest as the Xvfb screen shows it over a
// desktop-like window, and the bitmap composited over the same backdrop by arithmetic.
TEST_F(EnvelopeTest, SavesScreenshotsOfTheEnvelopeAtRest) {
    const ScreenSize screen = Screen();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW backdropClass{};
    backdropClass.cbSize = sizeof(backdropClass);
    backdropClass.lpfnWndProc = &BackdropProcedure;
    backdropClass.hInstance = instance;
    backdropClass.lpszClassName = L"EnvelopeTestBackdrop";
    RegisterClassExW(&backdropClass);
    const HWND backdrop = CreateWindowExW(0, L"EnvelopeTestBackdrop", L"", WS_POPUP | WS_VISIBLE, 0, 0, screen.width,
                                          screen.height, nullptr, nullptr, instance, nullptr);
    PumpFor(300);

    Make();
    envelope->ShowEnvelope(12, "a@example.org");
    envelope->SlideIn();
    PumpFor(500);
    const RECT rect = RectOf(main);
    EXPECT_EQ(rect.top, screen.height - 161);

    // The real screen, 200 x 200 around the bottom right-hand corner.
    const int width = 200, height = 200;
    const int left = screen.width - width, top = screen.height - height;
    {
        HDC screenDc = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screenDc);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB};
        void* bits = nullptr;
        HBITMAP shot = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, shot);
        BitBlt(memory, 0, 0, width, height, screenDc, left, top, SRCCOPY | CAPTUREBLT);
        SelectObject(memory, old);
        std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                          static_cast<const std::uint32_t*>(bits) + width * height);
        for (auto& p : pixels) {
            p |= 0xFF000000u;
        }
        SavePng(pixels, width, height, WinePath(BuildDir() + "/envelope-screen.png"));
        DeleteObject(shot);
        DeleteDC(memory);
        ReleaseDC(nullptr, screenDc);
    }

    // The bitmap over the backdrop: result = picture + backdrop * (1 - alpha), the colour being premultiplied.
    const auto picture = Pixels();
    std::vector<std::uint32_t> composed(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t under = Backdrop(left + x, top + y, screen.width, screen.height);
            const int px = left + x - rect.left, py = top + y - rect.top;
            std::uint32_t over = 0;
            if (px >= 0 && py >= 0 && px < kPictureSize && py < kPictureSize) {
                over = picture[py * kPictureSize + px];
            }
            const int a = Alpha(over);
            const auto mix = [&](int top, int bottom) { return std::min(255, top + bottom * (255 - a) / 255); };
            composed[y * width + x] = 0xFF000000u | (mix(Red(over), Red(under)) << 16) |
                                      (mix(Green(over), Green(under)) << 8) | mix(Blue(over), Blue(under));
        }
    }
    SavePng(composed, width, height, WinePath(BuildDir() + "/envelope-composite.png"));
    DestroyWindow(backdrop);
}

// At the screen's resolution: run at 96 DPI with the suite, and at 144 and 192 DPI by tests/settings/dpi-suite.sh.
class EnvelopeAtScreenDpi : public EnvelopeTest {
  protected:
    void SetUp() override { SetProcessDPIAware(); }
};

TEST_F(EnvelopeAtScreenDpi, RisesAtTheSizeDrawnForTheScreenAndKeepsTheCountOnItsFlap) {
    Make();
    const int size = envelope->EnvelopeSize();
    const int dpi = ScreenDpi();
    EXPECT_EQ(size, dpi >= 192 ? 270 : dpi >= 144 ? 203 : 135);
    envelope->ShowEnvelope(12, "a@example.org");
    envelope->SlideIn();
    PumpFor(300);
    const ScreenSize screen = Screen();
    const RECT rect = RectOf(main);
    EXPECT_EQ(rect.right - rect.left, size);
    EXPECT_EQ(rect.bottom - rect.top, size);
    EXPECT_EQ(rect.left, screen.width - size);
    EXPECT_EQ(rect.top, screen.height - EnvelopeRise(size));

    // The count's black outline lies on the front flap, between the captions, at every size.
    const auto pixels = BitmapPixels(envelope->EnvelopeBitmap(), size, size);
    int black = 0;
    int outside = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const std::uint32_t p = pixels[static_cast<std::size_t>(y * size + x)];
            if (Alpha(p) > 200 && Red(p) < 20 && Green(p) < 20 && Blue(p) < 20) {
                ++black;
                const bool onFlap = y >= size * 84 / 135 && y < size * 110 / 135;
                outside += onFlap ? 0 : 1;
            }
        }
    }
    EXPECT_GT(black, 20 * size / 135);
    EXPECT_EQ(outside, 0);
    // The captions, in the host's language, in their places scaled with the picture.
    for (const EnvelopeCaption& caption : EnvelopeCaptions(host.language, size)) {
        const CaptionPlace& place = caption.place;
        const InkSpan ink = CaptionInkIn(pixels, size, place.top - place.Height(), place.bottom + place.Height() / 2);
        EXPECT_GE(ink.pixels, 25 * size / 135) << caption.text;
        EXPECT_GE(ink.left, place.left) << caption.text;
        EXPECT_LE(ink.right, place.right) << caption.text;
    }

    // The corner of the screen, for the README's pictures at this resolution.
    const int side = size * 300 / 135;
    std::vector<std::uint32_t> shot(static_cast<std::size_t>(side) * side);
    {
        const HDC screenDc = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screenDc);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), side, -side, 1, 32, BI_RGB};
        void* bits = nullptr;
        const HBITMAP bitmap = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, side, side, screenDc, screen.width - side, screen.height - side, SRCCOPY | CAPTUREBLT);
        SelectObject(memory, old);
        std::copy_n(static_cast<const std::uint32_t*>(bits), shot.size(), shot.begin());
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screenDc);
    }
    for (auto& p : shot) {
        p |= 0xFF000000u;
    }
    CreateDirectoryW(WinePath(SourceDir() + "/build/screenshots").c_str(), nullptr);
    SavePng(shot, side, side, WinePath(SourceDir() + "/build/screenshots/envelope-" + std::to_string(dpi) + ".png"));
}

}  // namespace
}  // namespace pigeonet
