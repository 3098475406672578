#pragma once

// What the envelope's Windows tests share: the program's two windows as the envelope sees them, the pictures from
// the source tree, and pixel helpers.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include "notify/envelope_win32.h"
#include "notify/support/envelope_fakes_win32.h"
#include "support/bitmap_pixels_win32.h"
#include "support/wine_path_win32.h"
#include "util/unicode_win32.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace pigeonet::testing {

inline constexpr int kPictureSize = 135;

inline std::string SourceDir() {
    if (const char* dir = std::getenv("PIGEONET_SOURCE_DIR")) {
        return dir;
    }
    const std::string self = __FILE__;  // .../tests/notify/support/envelope_test_win32.h
    return self.substr(0, self.rfind("/tests/"));
}

inline std::string BuildDir() {
    const char* dir = std::getenv("PIGEONET_BUILD_DIR");
    return dir ? dir : SourceDir() + "/build";
}

// The picture drawn for `size` pixels, as the program embeds it.
inline std::vector<std::uint8_t> PictureFile(int size = kPictureSize) {
    const std::string name = size >= EnvelopeSizeForDpi(192)   ? "envelope-200.png"
                             : size >= EnvelopeSizeForDpi(144) ? "envelope-150.png"
                                                               : "envelope.png";
    std::ifstream file(std::filesystem::path(WinePath(SourceDir() + "/src/notify/" + name)), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline bool FileExists(const std::string& path) {
    return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline RECT RectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

inline ScreenSize Screen() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

inline int Alpha(std::uint32_t pixel) {
    return static_cast<int>(pixel >> 24);
}
inline int Red(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 16) & 0xFF);
}
inline int Green(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 8) & 0xFF);
}
inline int Blue(std::uint32_t pixel) {
    return static_cast<int>(pixel & 0xFF);
}

// Ink of a caption: its dark grey at the body's alpha, down to the darker half of its anti-aliased rim. The pale
// picture has none of its own, and the count's black outline is opaque.
inline bool CaptionInk(std::uint32_t pixel) {
    const int darkest = std::min({Red(pixel), Green(pixel), Blue(pixel)});
    const int lightest = std::max({Red(pixel), Green(pixel), Blue(pixel)});
    return Alpha(pixel) == 242 && lightest < 150 && lightest - darkest < 40;
}

// Where the caption ink lies in rows `top`..`bottom` of a picture of `size` (inclusive).
struct InkSpan {
    int pixels = 0;
    int left = 1 << 20;
    int right = -1;
    int top = 1 << 20;
    int bottom = -1;
};
inline InkSpan CaptionInkIn(const std::vector<std::uint32_t>& picture, int size, int top, int bottom) {
    InkSpan span;
    for (int y = std::max(0, top); y <= bottom && y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (CaptionInk(picture[static_cast<std::size_t>(y) * size + x])) {
                ++span.pixels;
                span.left = std::min(span.left, x), span.right = std::max(span.right, x);
                span.top = std::min(span.top, y), span.bottom = std::max(span.bottom, y);
            }
        }
    }
    return span;
}

// The program's two windows as far as the envelope sees them: a hidden application window, and the main window,
// a top-most tool popup of the picture's size parked just below the screen.
class EnvelopeTest : public ::testing::Test {
  protected:
    EnvelopeTest() {
        // This test program carries no picture resources: the pictures come from the source tree.
        platform.pictureBytes = [](int size) { return PictureFile(size); };
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

    void Make() { envelope = std::make_unique<Envelope>(main, platform, host); }

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
    RecordingEnvelopePlatform platform;
    RecordingEnvelopeHost host;
    std::unique_ptr<Envelope> envelope;
};

}  // namespace pigeonet::testing
