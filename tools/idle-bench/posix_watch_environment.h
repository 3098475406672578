#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <random>

#include "polling/inbox_watch.h"

namespace pigeonet {

// The world of the watchers for the native measurements: the platform's sockets, the steady clock, real sleeps cut
// short by a stop, always online.
class PosixWatchEnvironment : public WatchEnvironment {
  public:
    SocketLayer& Sockets() override;
    Clock::time_point Now() override;
    bool SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) override;
    bool IsOnline() override;
    std::uint32_t Random() override;

  private:
    std::mutex random_mutex_;
    std::mt19937 random_{std::random_device{}()};
};

}  // namespace pigeonet
