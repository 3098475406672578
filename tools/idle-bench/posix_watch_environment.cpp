#include "posix_watch_environment.h"

#include <algorithm>
#include <thread>

#include "polling/socket.h"

namespace pigeonet {

SocketLayer& PosixWatchEnvironment::Sockets() {
    return PlatformSocketLayer();
}

WatchEnvironment::Clock::time_point PosixWatchEnvironment::Now() {
    return Clock::now();
}

bool PosixWatchEnvironment::SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) {
    // Short naps: a stop is seen within 50 ms, well inside the promised 100 ms.
    constexpr auto kNap = std::chrono::milliseconds(50);
    while (!stop_requested()) {
        const auto now = Clock::now();
        if (now >= until) {
            return true;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kNap));
    }
    return false;
}

bool PosixWatchEnvironment::IsOnline() {
    return true;
}

std::uint32_t PosixWatchEnvironment::Random() {
    const std::lock_guard<std::mutex> lock(random_mutex_);
    return static_cast<std::uint32_t>(random_());
}

}  // namespace pigeonet
