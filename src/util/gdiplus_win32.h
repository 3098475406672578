#pragma once

#include <windows.h>

namespace pigeonet {

// Keeps GDI+ started for as long as it lives. Sessions nest: each holds its own token, so the envelope and the
// settings dialog may each keep one.
class GdiplusSession {
  public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

  private:
    ULONG_PTR token_ = 0;
};

}  // namespace pigeonet
