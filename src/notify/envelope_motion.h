#pragma once

#include "util/window_origin.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pigeonet {

// The envelope's travel: it rises this many one-pixel steps out of the bottom edge and sinks as many back.
inline constexpr int kEnvelopeSlideSteps = 161;
// The resting left edge is the screen width less this constant, not less the picture's measured width.
inline constexpr int kEnvelopeWidth = 135;

// On a screen of 150 % of 96 DPI and more the envelope keeps its proportion to the taskbar with a picture drawn for
// that size: 135 x DPI/96 pixels for 150 % (203) and for 200 % (270), the larger one from 200 % on. Below 150 % it
// stays 135. Its rise, the count's font and the count's place scale with it.
inline constexpr int kEnvelopeDesignDpi = 96;
int EnvelopeSizeForDpi(int dpi);
// How far the envelope rises out of the bottom edge: 161 pixels for 135, in proportion for a larger picture.
int EnvelopeRise(int envelopeSize);

// The rise sleeps on the steps whose decimal number ends in 5, 0 or 1 (49 of 161), the sinking on 5, 3 or 1
// (48 of 161): the pacing is a fixed number of sleeps, whatever the speed.
bool RisingStepSleeps(int step);
bool SinkingStepSleeps(int step);
// The length of one paced sleep for the live animation speed (0 slowest .. 10 fastest), in milliseconds. Never
// negative, so a speed beyond the track bar's range cannot turn into an endless sleep.
int SlideSleepMilliseconds(int animationSpeed);

// The count as drawn on the envelope: decimal, no separators.
std::string CountText(std::int32_t count);

// Top left-hand corner of the count's layout box, in picture pixels: each digit moves it 6 pixels left so the
// number stays centred on the picture's vertical centre line (1 digit at 57, 2 at 51, 3 at 45), always at row 84.
struct TextOrigin {
    int x = 0;
    int y = 0;
    bool operator==(const TextOrigin&) const = default;
};
// For a larger picture both scale with its size.
TextOrigin CountTextOrigin(std::string_view countText, int envelopeSize = kEnvelopeWidth);
// The count's em size in pixels: 20 for 135.
float CountEmSize(int envelopeSize = kEnvelopeWidth);

struct ScreenSize {
    int width = 0;  // pixels, the primary screen's full size, taskbar included
    int height = 0;
};

// The system's part of the motion: time, the GUI message queue and the screen.
class MotionPlatform {
  public:
    virtual ~MotionPlatform() = default;
    virtual void Sleep(int milliseconds) = 0;
    // Every pending GUI message, then return.
    virtual void ProcessMessages() = 0;
    // The primary screen's full size in pixels, taskbar included.
    virtual ScreenSize PrimaryScreenSize() = 0;
};

// The window that slides.
class MotionWindow {
  public:
    virtual ~MotionWindow() = default;
    // Where the window stands now.
    virtual WindowOrigin Origin() = 0;
    // Keeps the size.
    virtual void MoveTo(WindowOrigin origin) = 0;
    virtual void Show() = 0;
};

// What the rest of the program gives the motion: the live settings, the store and the main window's Timer2.
class MotionHost {
  public:
    virtual ~MotionHost() = default;
    // The live animation speed (the track bar's position, 0..10), read at every paced step.
    virtual int AnimationSpeed() = 0;
    // Seconds the envelope stays, read from the store at every tick.
    virtual int DisplayTime() = 0;
    virtual void SetTimer2Enabled(bool enabled) = 0;
};

// The slide animations and the display timer of the envelope popup.
//
// The animations pump messages after every step, so a click or a timer tick can run another animation nested in
// one that is running. Every step therefore moves the window one pixel from where it stands now, and only the start
// of SlideIn and the end of SlideOut place it absolutely: nested displacements add up, as the user would expect
// from a window dragged by two hands.
class EnvelopeMotion {
  public:
    // `envelopeSize`: the picture's side for this screen (EnvelopeSizeForDpi), fixed for the program's run.
    EnvelopeMotion(MotionPlatform& platform, MotionWindow& window, MotionHost& host, int envelopeSize = kEnvelopeWidth);

    // Shows the window at the bottom right-hand corner, just below the screen, and raises it 161 pixels (for a
    // larger picture, EnvelopeRise pixels in the same 161 steps, so the pacing stays the same).
    void SlideIn();
    // Lowers the window as far and parks it with its top edge at the screen height; it stays visible.
    void SlideOut();
    // One tick of the one-second display timer: when the running count passes the display time, the display ends.
    // A display time that cannot be read ends the display too, and its failure goes on to the caller.
    void Timer2Timer();
    // Ends a display at once, however long the display time (the click on the popup).
    void EndDisplay();

    // Ticks since the popup arrived; a new announcement does not reset it, only the end of a display does.
    std::int32_t DisplayCounter = 0;

  private:
    // Step `step` of a slide moves the window this many pixels: 1 for 135, spread evenly for a larger picture.
    int StepPixels(int step) const;
    void Step(int pixels, bool sleeps);
    // Stops the display timer, resets the count and slides the popup out.
    void EndDisplayNow();

    MotionPlatform& platform_;
    MotionWindow& window_;
    MotionHost& host_;
    int envelopeSize_;
};

}  // namespace pigeonet
