#include "util/screen_dpi_win32.h"

#include "util/handles_win32.h"

#include <windows.h>

namespace pigeonet {

int ScreenDpi() {
    static const int dpi = [] {
        const ScopedGetDc screen(nullptr);
        const int found = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
        return found > 0 ? found : kDesignDpi;
    }();
    return dpi;
}

}  // namespace pigeonet
