#pragma once

#include <windows.h>

#include <objbase.h>

namespace pigeonet {

// COM in a single-threaded apartment for the life of this object, on the thread that creates it. A thread where COM
// is already started another way keeps it; this object then ends nothing.
class ComApartment {
  public:
    ComApartment() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (started_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool started_;
};

}  // namespace pigeonet
