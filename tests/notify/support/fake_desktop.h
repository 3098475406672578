#pragma once

// The envelope's motion without a screen: what it asks of the system, the window and the program, recorded.
#include "notify/envelope_motion.h"
#include "settings/settings_store.h"

#include <functional>
#include <string>
#include <vector>

namespace pigeonet::testing {

// A window that only has a position, and a record of everything the motion did to it, in words.
// A window that only has a position, and a record of everything the motion did to it, in words: the system, the
// window and the program at once, so the record keeps their order.
class FakeDesktop final : public MotionPlatform, public MotionWindow, public MotionHost {
  public:
    ScreenSize screen{1024, 768};
    WindowOrigin origin{0, 768};
    int speed = 3;
    std::function<int()> displayTime = [] { return kDefaultDisplayTime; };
    std::function<void(int moves)> onPump;  // runs nested handlers, as a real pump would
    bool timer2 = true;
    int moves = 0;
    std::vector<std::string> events;
    std::vector<int> sleepingMoves;  // the number of one-pixel moves made when each sleep came
    std::vector<int> sleeps;         // milliseconds

    void Sleep(int ms) override {
        sleeps.push_back(ms);
        sleepingMoves.push_back(moves);
        events.push_back("sleep " + std::to_string(ms));
    }
    void ProcessMessages() override {
        events.push_back("pump");
        if (onPump) {
            onPump(moves);
        }
    }
    ScreenSize PrimaryScreenSize() override { return screen; }
    WindowOrigin Origin() override { return origin; }
    void MoveTo(WindowOrigin to) override {
        if (to.left == origin.left && (to.top == origin.top + 1 || to.top == origin.top - 1)) {
            ++moves;
        }
        origin = to;
        events.push_back("move " + std::to_string(to.left) + "," + std::to_string(to.top));
    }
    void Show() override { events.push_back("show"); }
    int AnimationSpeed() override { return speed; }
    int DisplayTime() override { return displayTime(); }
    void SetTimer2Enabled(bool enabled) override {
        timer2 = enabled;
        events.push_back(enabled ? "timer2 on" : "timer2 off");
    }
};

}  // namespace pigeonet::testing
