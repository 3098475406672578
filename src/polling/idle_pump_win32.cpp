#include "polling/idle_pump_win32.h"

#include "util/window_win32.h"

namespace pigeonet {

Win32IdlePump::Win32IdlePump() : gui_thread_(GetCurrentThreadId()) {}

void Win32IdlePump::ProcessPendingMessages() {
    ::pigeonet::ProcessPendingMessages();
}

bool Win32IdlePump::IsGuiThread() const {
    return GetCurrentThreadId() == gui_thread_;
}

}  // namespace pigeonet
