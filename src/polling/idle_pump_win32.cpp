#include "polling/idle_pump_win32.h"

namespace pigeonet {

Win32IdlePump::Win32IdlePump() : gui_thread_(GetCurrentThreadId()) {}

void Win32IdlePump::ProcessPendingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool Win32IdlePump::IsGuiThread() const {
    return GetCurrentThreadId() == gui_thread_;
}

}  // namespace pigeonet
