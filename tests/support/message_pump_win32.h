#pragma once

// A message pump with a time limit, for tests whose windows and timers must get their turns.
#include <windows.h>

namespace pigeonet::testing {

// Runs the thread's messages for `milliseconds`, waking as soon as one arrives.
inline void PumpFor(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const auto left = static_cast<int>(end - GetTickCount());
        if (left <= 0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

}  // namespace pigeonet::testing
