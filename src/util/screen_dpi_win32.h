#pragma once

namespace pigeonet {

// The windows are designed in pixels of a 96 DPI screen.
inline constexpr int kDesignDpi = 96;

// The screen's resolution in dots per inch, read once: the program is system-DPI aware (its manifest), so Windows
// leaves the scaling to it and does not rescale its windows when one moves to a monitor of another resolution.
int ScreenDpi();

}  // namespace pigeonet
