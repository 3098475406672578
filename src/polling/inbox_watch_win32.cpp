#include "polling/inbox_watch_win32.h"

#include "polling/socket.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <thread>

namespace pigeonet {

namespace {

// How long a watcher sleeps at most before it looks at its stop request again.
constexpr std::chrono::milliseconds kSleepSlice{100};

}  // namespace

Win32WatchEnvironment::Win32WatchEnvironment() : random_(std::random_device{}()) {}

SocketLayer& Win32WatchEnvironment::Sockets() {
    // One stateless layer for the whole process; Windows Sockets is started once, behind a thread-safe static.
    return PlatformSocketLayer();
}

bool Win32WatchEnvironment::SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) {
    for (;;) {
        if (stop_requested()) {
            return false;
        }
        const Clock::time_point now = Clock::now();
        if (now >= until) {
            return true;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kSleepSlice));
    }
}

bool Win32WatchEnvironment::IsOnline() {
    // The question the check round asks through the main window; WinINet answers it on any thread.
    DWORD flags = 0;
    return InternetGetConnectedState(&flags, 0) != FALSE;
}

std::uint32_t Win32WatchEnvironment::Random() {
    const std::lock_guard<std::mutex> hold(randomLock_);
    return static_cast<std::uint32_t>(random_());
}

}  // namespace pigeonet
