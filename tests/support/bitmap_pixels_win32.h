#pragma once

// A bitmap's pixels as numbers, for tests that look at what was drawn.
#include "util/handles_win32.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace pigeonet::testing {

// The `width` x `height` pixels of `bitmap` (not selected into a device context) as 32-bit 0xAARRGGBB values, row
// by row from the top.
inline std::vector<std::uint32_t> BitmapPixels(HBITMAP bitmap, int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    const ScopedGetDc screen(nullptr);
    GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &format, DIB_RGB_COLORS);
    return pixels;
}

}  // namespace pigeonet::testing
