#include "util/gdiplus_win32.h"

#include <objidl.h>
#include <gdiplus.h>

namespace pigeonet {

GdiplusSession::GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token_, &input, nullptr);
}

GdiplusSession::~GdiplusSession() {
    if (token_) {
        Gdiplus::GdiplusShutdown(token_);
    }
}

}  // namespace pigeonet
