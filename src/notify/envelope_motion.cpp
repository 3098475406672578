#include "notify/envelope_motion.h"

#include <algorithm>
#include <limits>

namespace pigeonet {

namespace {

constexpr int kSlowestSleepMs = 11;  // at speed 0; each speed step takes 1 ms off
constexpr int kCountTextCentre = 63;
constexpr int kCountDigitShift = 6;
constexpr int kCountTextTop = 84;

constexpr int kCountEmSize = 20;

int LastDigit(int step) {
    return step % 10;
}

// `length` designed for the 135 pixel picture, in pixels of a picture of `size`, rounded to the nearest.
int ForSize(int length, int size) {
    return (length * size + kEnvelopeWidth / 2) / kEnvelopeWidth;
}

}  // namespace

bool RisingStepSleeps(int step) {
    const int digit = LastDigit(step);
    return digit == 5 || digit == 0 || digit == 1;
}

bool SinkingStepSleeps(int step) {
    const int digit = LastDigit(step);
    return digit == 5 || digit == 3 || digit == 1;
}

int SlideSleepMilliseconds(int animationSpeed) {
    return std::max(0, kSlowestSleepMs - animationSpeed);
}

std::string CountText(std::int32_t count) {
    return std::to_string(count);
}

TextOrigin CountTextOrigin(std::string_view countText, int envelopeSize) {
    return {ForSize(kCountTextCentre - kCountDigitShift * static_cast<int>(countText.size()), envelopeSize),
            ForSize(kCountTextTop, envelopeSize)};
}

float CountEmSize(int envelopeSize) {
    return static_cast<float>(kCountEmSize * envelopeSize) / static_cast<float>(kEnvelopeWidth);
}

int EnvelopeSizeForDpi(int dpi) {
    constexpr int kLargestFrom = kEnvelopeDesignDpi * 2;
    constexpr int kLargerFrom = kEnvelopeDesignDpi * 3 / 2;
    const int drawnFor = dpi >= kLargestFrom ? kLargestFrom : dpi >= kLargerFrom ? kLargerFrom : kEnvelopeDesignDpi;
    return (kEnvelopeWidth * drawnFor + kEnvelopeDesignDpi / 2) / kEnvelopeDesignDpi;
}

int EnvelopeRise(int envelopeSize) {
    return ForSize(kEnvelopeSlideSteps, envelopeSize);
}

EnvelopeMotion::EnvelopeMotion(MotionPlatform& platform, MotionWindow& window, MotionHost& host, int envelopeSize)
    : platform_(platform), window_(window), host_(host), envelopeSize_(envelopeSize) {}

int EnvelopeMotion::StepPixels(int step) const {
    const int rise = EnvelopeRise(envelopeSize_);
    return (step + 1) * rise / kEnvelopeSlideSteps - step * rise / kEnvelopeSlideSteps;
}

void EnvelopeMotion::Step(int pixels, bool sleeps) {
    WindowOrigin origin = window_.Origin();
    origin.top += pixels;
    window_.MoveTo(origin);
    if (sleeps) {
        platform_.Sleep(SlideSleepMilliseconds(host_.AnimationSpeed()));
    }
    platform_.ProcessMessages();
}

void EnvelopeMotion::SlideIn() {
    window_.Show();
    const ScreenSize screen = platform_.PrimaryScreenSize();
    window_.MoveTo({screen.width - envelopeSize_, screen.height});
    for (int step = 0; step < kEnvelopeSlideSteps; ++step) {
        Step(-StepPixels(step), RisingStepSleeps(step));
    }
}

void EnvelopeMotion::SlideOut() {
    for (int step = 0; step < kEnvelopeSlideSteps; ++step) {
        Step(StepPixels(step), SinkingStepSleeps(step));
    }
    // Parked: only the top edge is set, the left edge stays where the steps left it.
    WindowOrigin origin = window_.Origin();
    origin.top = platform_.PrimaryScreenSize().height;
    window_.MoveTo(origin);
}

void EnvelopeMotion::Timer2Timer() {
    // Counted wide so that a counter already at the largest display time (a click sets it so) ends the display
    // instead of wrapping round to a negative count that would keep the popup up for ever.
    const std::int64_t next = std::int64_t{DisplayCounter} + 1;
    if (next <= std::numeric_limits<std::int32_t>::max()) {
        DisplayCounter = static_cast<std::int32_t>(next);
    }
    std::int64_t displayTime = 0;
    try {
        displayTime = host_.DisplayTime();
    } catch (...) {
        // An unreadable display time would otherwise fail again at every tick while the envelope stays up: end the
        // display once, then report the failure once.
        EndDisplayNow();
        throw;
    }
    if (displayTime >= next) {
        return;
    }
    EndDisplayNow();
}

void EnvelopeMotion::EndDisplayNow() {
    host_.SetTimer2Enabled(false);
    DisplayCounter = 0;
    SlideOut();
}

void EnvelopeMotion::EndDisplay() {
    DisplayCounter = host_.DisplayTime();
    Timer2Timer();
}

}  // namespace pigeonet
