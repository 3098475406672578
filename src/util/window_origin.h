#pragma once

namespace pigeonet {

// Where a window's top left-hand corner stands on the screen, in pixels.
struct WindowOrigin {
    int left = 0;
    int top = 0;
    bool operator==(const WindowOrigin&) const = default;
};

}  // namespace pigeonet
