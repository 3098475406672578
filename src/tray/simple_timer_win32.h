#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace pigeonet {

// A window-message timer whose system timer id is its own address. All timers share one hidden window.
class TSimpleTimer {
  public:
    TSimpleTimer();
    ~TSimpleTimer();
    TSimpleTimer(const TSimpleTimer&) = delete;
    TSimpleTimer& operator=(const TSimpleTimer&) = delete;

    // Milliseconds, 1000 at creation. Changing it restarts a switched-on timer; 0 halts it until a non-zero period
    // is set again (it stays switched on).
    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t milliseconds);
    // Refused (false) with a period of 0; otherwise (re)starts, the first tick one full period from now.
    bool Start();
    void Stop();
    bool Active() const { return active_; }

    // Switches the timer off at its first tick.
    bool OneShot = false;
    // Runs on the GUI thread for every tick. It must not throw: a failure escaping it is dropped.
    std::function<void()> OnTimer;

    // The shared window's part: runs one tick.
    void Tick();

  private:
    UINT_PTR Id() const { return reinterpret_cast<UINT_PTR>(this); }
    void SetSystemTimer();
    void KillSystemTimer();

    HWND window_ = nullptr;
    std::uint32_t interval_ = 1000;
    bool active_ = false;
    bool systemTimerSet_ = false;
};

}  // namespace pigeonet
