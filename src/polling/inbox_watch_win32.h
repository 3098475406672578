#pragma once

#include "polling/inbox_watch.h"

#include <cstdint>
#include <mutex>
#include <random>

namespace pigeonet {

// The world the inbox watchers run in on Windows: the platform's sockets, the steady clock, sleeps cut into slices
// of 100 ms so a stop is noticed at once, WinINet's connection state and a seeded generator. Every member may be
// called from any thread at the same time.
class Win32WatchEnvironment final : public WatchEnvironment {
  public:
    Win32WatchEnvironment();

    SocketLayer& Sockets() override;
    Clock::time_point Now() override { return Clock::now(); }
    bool SleepUntil(Clock::time_point until, const std::function<bool()>& stop_requested) override;
    bool IsOnline() override;
    std::uint32_t Random() override;

  private:
    std::mutex randomLock_;  // the generator is shared by every watcher thread
    std::mt19937 random_;
};

}  // namespace pigeonet
