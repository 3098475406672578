#include "notify/envelope_win32.h"

#include <commctrl.h>
#include <objidl.h>

#include <gdiplus.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/bitmap_pixels_win32.h"
#include "support/message_pump_win32.h"
#include "support/wine_path_win32.h"
#include "util/errors.h"
#include "util/screen_dpi_win32.h"
#include "util/shell_paths_win32.h"
#include "util/unicode_win32.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using testing::BitmapPixels;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::PumpFor;
using ::testing::StartsWith;
using testing::WinePath;

constexpr int kPictureSize = 135;

std::string SourceDir() {
    if (const char* dir = std::getenv("PIGEONET_SOURCE_DIR")) {
        return dir;
    }
    const std::string self = __FILE__;  // .../tests/notify/envelope_win32_test.cpp
    return self.substr(0, self.rfind("/tests/"));
}

std::string BuildDir() {
    const char* dir = std::getenv("PIGEONET_BUILD_DIR");
    return dir ? dir : SourceDir() + "/build";
}

// The picture drawn for `size` pixels, as the program embeds it.
std::vector<std::uint8_t> PictureFile(int size = kPictureSize) {
    const std::string name = size >= EnvelopeSizeForDpi(192)   ? "envelope-200.png"
                             : size >= EnvelopeSizeForDpi(144) ? "envelope-150.png"
                                                               : "envelope.png";
    std::ifstream file(std::filesystem::path(WinePath(SourceDir() + "/src/notify/" + name)), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

RECT RectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

ScreenSize Screen() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

int Alpha(std::uint32_t pixel) {
    return static_cast<int>(pixel >> 24);
}
int Red(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 16) & 0xFF);
}
int Green(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 8) & 0xFF);
}
int Blue(std::uint32_t pixel) {
    return static_cast<int>(pixel & 0xFF);
}

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

// The program's two windows as far as the envelope sees them: a hidden application window, and the main window,
// a top-most tool popup of the picture's size parked just below the screen.
class EnvelopeTest : public ::testing::Test {
  protected:
    EnvelopeTest() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &DefWindowProcW;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"EnvelopeTestWindow";
        RegisterClassExW(&windowClass);
        application = CreateWindowExW(0, L"EnvelopeTestWindow", L"Pigeonet", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                      nullptr, instance, nullptr);
        main = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"EnvelopeTestWindow", L"Pigeonet", WS_POPUP, 0,
                               Screen().height, kPictureSize, kPictureSize, application, nullptr, instance, nullptr);
    }
    ~EnvelopeTest() override {
        envelope.reset();
        DestroyWindow(main);
        DestroyWindow(application);
    }

    void Make() {
        EnvelopeSeams seams;
        seams.sleep = [this](int ms) { sleeps.push_back(ms); };
        seams.animationSpeed = [this] { return speed; };
        seams.displayTime = [this] { return displayTime; };
        seams.stopTrayFlashing = [this] { events.push_back("stop flashing"); };
        seams.openMail = [this] { events.push_back("open mail"); };
        seams.setTimer2Enabled = [this](bool on) { events.push_back(on ? "timer2 on" : "timer2 off"); };
        seams.pictureBytes = [this](int size) { return pictureBytes ? pictureBytes() : PictureFile(size); };
        if (!tempFolder.empty()) {
            seams.tempFolderPath = [this] { return tempFolder; };
        }
        seams.showMessage = [this](const std::string& text) { messages.push_back(text); };
        envelope = std::make_unique<Envelope>(main, std::move(seams));
    }

    // Straight from the bitmap: 0xAARRGGBB with premultiplied colour.
    std::vector<std::uint32_t> Pixels() { return BitmapPixels(envelope->EnvelopeBitmap(), kPictureSize, kPictureSize); }

    std::wstring TooltipText() {
        wchar_t text[256] = {};
        TOOLINFOW tool{};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = main;
        tool.uId = reinterpret_cast<UINT_PTR>(main);
        tool.lpszText = text;
        SendMessageW(envelope->Tooltip(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    HWND application = nullptr;
    HWND main = nullptr;
    int speed = 3;
    int displayTime = 8;
    std::string tempFolder;  // empty: the real temporary folder
    std::function<std::vector<std::uint8_t>()> pictureBytes;
    std::vector<int> sleeps;
    std::vector<std::string> events;
    std::vector<std::string> messages;
    std::unique_ptr<Envelope> envelope;
};

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
    EXPECT_TRUE(messages.empty());
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

TEST_F(EnvelopeTest, SlidesUpToTheCornerAndDownToTheParkingPlace) {
    const ScreenSize screen = Screen();
    for (int s : {0, 3, 10}) {
        SCOPED_TRACE("speed " + std::to_string(s));
        speed = s;
        sleeps.clear();
        Make();
        envelope->ShowEnvelope(5, "a@example.org");
        envelope->SlideIn();
        EXPECT_TRUE(IsWindowVisible(main));
        RECT rect = RectOf(main);
        EXPECT_EQ(rect.left, screen.width - 135);
        EXPECT_EQ(rect.top, screen.height - 161);
        EXPECT_EQ(rect.right - rect.left, kPictureSize);
        EXPECT_EQ(sleeps, std::vector<int>(49, 11 - s));
        if (screen.width == 1024 && screen.height == 768) {
            EXPECT_EQ(rect.left, 889);
            EXPECT_EQ(rect.top, 607);
        }

        sleeps.clear();
        envelope->SlideOut();
        rect = RectOf(main);
        EXPECT_EQ(rect.left, screen.width - 135);
        EXPECT_EQ(rect.top, screen.height);
        EXPECT_TRUE(IsWindowVisible(main));  // parked, not hidden
        EXPECT_EQ(sleeps, std::vector<int>(48, 11 - s));
    }
}

TEST_F(EnvelopeTest, DisplayTimerSinksTheEnvelopeAtTheTickAfterTheDisplayTime) {
    displayTime = 3;
    Make();
    envelope->ShowEnvelope(2, "a@example.org");
    envelope->SlideIn();
    for (int tick = 1; tick <= 3; ++tick) {
        envelope->Timer2Timer();
        EXPECT_EQ(envelope->DisplayCounter(), tick);
        EXPECT_EQ(RectOf(main).top, Screen().height - 161);
    }
    EXPECT_TRUE(events.empty());
    envelope->Timer2Timer();
    EXPECT_THAT(events, ElementsAre("timer2 off"));
    EXPECT_EQ(envelope->DisplayCounter(), 0);
    EXPECT_EQ(RectOf(main).top, Screen().height);
}

TEST_F(EnvelopeTest, ClickStopsFlashingSinksAtOnceAndOpensMail) {
    displayTime = 60;
    Make();
    envelope->ShowEnvelope(2, "a@example.org");
    envelope->SlideIn();
    envelope->Timer2Timer();
    envelope->FormClick();
    EXPECT_THAT(events, ElementsAre("stop flashing", "timer2 off", "open mail"));
    EXPECT_EQ(envelope->DisplayCounter(), 0);
    EXPECT_EQ(RectOf(main).top, Screen().height);
}

TEST_F(EnvelopeTest, MissingPictureResourceFailsBeforeAnythingIsDrawn) {
    // This test program carries no PG resource, so the real loader must fail.
    Envelope real(main, EnvelopeSeams{});
    try {
        real.ShowEnvelope(1, "a@example.org");
        FAIL() << "no failure";
    } catch (const AppError& failure) {
        EXPECT_STREQ(failure.what(), "Resource PG not found");
    }
    EXPECT_EQ(real.EnvelopeBitmap(), nullptr);
}

TEST_F(EnvelopeTest, TemporaryFileThatCannotBeCreatedFailsTheShow) {
    tempFolder = "Z:\\no\\such\\folder\\";
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
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("andle"));  // "Invalid window handle."
    EXPECT_NE(envelope->EnvelopeBitmap(), nullptr);
    main = nullptr;
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
