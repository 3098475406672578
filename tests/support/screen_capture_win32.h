#pragma once

// What the screen shows of a window, for tests that look at the pixels and for the screenshots people look at.
#include "settings/dialogs/dialog_pictures_win32.h"
#include "support/bitmap_pixels_win32.h"
#include "support/wine_path_win32.h"
#include "util/handles_win32.h"
#include "util/window_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace pigeonet::testing {

struct ScreenCapture {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0xRRGGBB, row by row from the top

    // The pixel at (x, y) of the captured window's outer frame.
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x] & 0xffffff; }
};

// Lets `window` and its children redraw, then copies what the screen shows inside the window's frame.
inline ScreenCapture CaptureWindow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    for (int i = 0; i < 30; ++i) {
        ProcessPendingMessages();
        Sleep(10);
    }
    RECT frame{};
    GetWindowRect(window, &frame);
    ScreenCapture capture;
    capture.width = frame.right - frame.left;
    capture.height = frame.bottom - frame.top;
    const ScopedGetDc screen(nullptr);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    capture.bitmap.reset(CreateCompatibleBitmap(screen.get(), capture.width, capture.height));
    {
        const ScopedSelectObject select(memory.get(), capture.bitmap.get());
        BitBlt(memory.get(), 0, 0, capture.width, capture.height, screen.get(), frame.left, frame.top, SRCCOPY);
    }
    capture.pixels = BitmapPixels(capture.bitmap.get(), capture.width, capture.height);
    return capture;
}

// Saves a capture as build/screenshots/<name>.png of the source tree (PIGEONET_SOURCE_DIR); without that tree it
// saves nothing.
inline void SaveScreenshot(const ScreenCapture& capture, const std::string& name) {
    const char* source = std::getenv("PIGEONET_SOURCE_DIR");
    if (!source) {
        return;
    }
    const std::string folder = std::string(source) + "/build/screenshots";
    CreateDirectoryW(WinePath(std::string(source) + "/build").c_str(), nullptr);
    CreateDirectoryW(WinePath(folder).c_str(), nullptr);
    EXPECT_TRUE(SavePng(capture.bitmap.get(), WinePath(folder + "/" + name + ".png"))) << name;
}

}  // namespace pigeonet::testing
