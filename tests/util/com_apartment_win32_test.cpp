#include "util/com_apartment_win32.h"

#include <gtest/gtest.h>

#include <thread>

namespace pigeonet {
namespace {

// What starting COM as `mode` on this thread answers, undone again when it started anything.
HRESULT TryStart(DWORD mode) {
    const HRESULT result = CoInitializeEx(nullptr, mode);
    if (SUCCEEDED(result)) {
        CoUninitialize();
    }
    return result;
}

// Each case on a fresh thread, whose COM state nothing else has touched.
TEST(ComApartment, HoldsASingleThreadedApartmentAndEndsOnlyWhatItStarted) {
    std::thread([] {
        {
            const ComApartment com;
            EXPECT_EQ(TryStart(COINIT_APARTMENTTHREADED), S_FALSE);  // already started, same apartment
            EXPECT_EQ(TryStart(COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
        }
        EXPECT_EQ(TryStart(COINIT_MULTITHREADED), S_OK);  // nothing left behind
    }).join();
    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        { const ComApartment com; }
        EXPECT_EQ(TryStart(COINIT_MULTITHREADED), S_FALSE);  // the thread's own COM is still there
        CoUninitialize();
    }).join();
}

}  // namespace
}  // namespace pigeonet
