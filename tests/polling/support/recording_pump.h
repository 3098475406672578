#pragma once

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "polling/idle_pump.h"

namespace pigeonet::testing {

// A pump that records when it ran; its GUI thread is the thread that created it.
class RecordingPump : public IdlePump {
  public:
    void ProcessPendingMessages() override {
        runs.push_back(std::chrono::steady_clock::now());
        if (on_run) {
            on_run();
        }
    }
    bool IsGuiThread() const override { return std::this_thread::get_id() == gui_thread; }

    std::thread::id gui_thread = std::this_thread::get_id();
    std::vector<std::chrono::steady_clock::time_point> runs;
    std::function<void()> on_run;
};

}  // namespace pigeonet::testing
