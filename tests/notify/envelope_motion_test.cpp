#include "notify/envelope_motion.h"

#include "settings/settings_store.h"
#include "support/fake_desktop.h"
#include "util/errors.h"
#include "util/memory_registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace pigeonet {
namespace {

using ::testing::ElementsAre;
using testing::FakeDesktop;

std::vector<int> StepsEndingIn(std::initializer_list<int> digits) {
    std::vector<int> steps;
    for (int step = 0; step < kEnvelopeSlideSteps; ++step) {
        for (int digit : digits) {
            if (step % 10 == digit) {
                steps.push_back(step);
            }
        }
    }
    return steps;
}

// The step a sleep belongs to: the sleep comes after that step's move.
std::vector<int> SleepingSteps(const FakeDesktop& desktop, int movesBefore) {
    std::vector<int> steps;
    for (int moves : desktop.sleepingMoves) {
        steps.push_back(moves - movesBefore - 1);
    }
    return steps;
}

TEST(EnvelopeMotion, PacingSleepsTheSameStepsAtEverySpeedForLongerWhenSlower) {
    for (int speed = 0; speed <= 10; ++speed) {
        SCOPED_TRACE("speed " + std::to_string(speed));
        FakeDesktop desktop;
        desktop.speed = speed;
        EnvelopeMotion motion(desktop, desktop, desktop);

        motion.SlideIn();
        EXPECT_EQ(SleepingSteps(desktop, 0), StepsEndingIn({0, 1, 5}));
        EXPECT_EQ(desktop.sleeps, std::vector<int>(49, 11 - speed));

        desktop.sleeps.clear();
        desktop.sleepingMoves.clear();
        motion.SlideOut();
        EXPECT_EQ(SleepingSteps(desktop, kEnvelopeSlideSteps), StepsEndingIn({1, 3, 5}));
        EXPECT_EQ(desktop.sleeps, std::vector<int>(48, 11 - speed));
    }
}

TEST(EnvelopeMotion, SleepLengthFollowsSpeedAndNeverGoesNegative) {
    struct Case {
        int speed;
        int milliseconds;
    };
    for (const Case& c : {Case{0, 11}, Case{3, 8}, Case{10, 1}, Case{11, 0}, Case{200, 0}, Case{-1, 12}}) {
        EXPECT_EQ(SlideSleepMilliseconds(c.speed), c.milliseconds) << "speed " << c.speed;
    }
}

TEST(EnvelopeMotion, SpeedIsReadAtEveryPacedStep) {
    FakeDesktop desktop;
    desktop.speed = 0;
    EnvelopeMotion motion(desktop, desktop, desktop);
    desktop.onPump = [&](int moves) { desktop.speed = moves >= 80 ? 10 : 0; };
    motion.SlideIn();
    EXPECT_EQ(desktop.sleeps.front(), 11);
    EXPECT_EQ(desktop.sleeps.back(), 1);
}

TEST(EnvelopeMotion, RestsAtTheBottomRightCornerAndParksBelowTheScreen) {
    struct Case {
        ScreenSize screen;
        WindowOrigin rest;
    };
    for (const Case& c :
         {Case{{1024, 768}, {889, 607}}, Case{{1920, 1080}, {1785, 919}}, Case{{800, 600}, {665, 439}}}) {
        SCOPED_TRACE(std::to_string(c.screen.width) + " x " + std::to_string(c.screen.height));
        FakeDesktop desktop;
        desktop.screen = c.screen;
        desktop.origin = {0, c.screen.height};
        EnvelopeMotion motion(desktop, desktop, desktop);

        motion.SlideIn();
        EXPECT_EQ(desktop.origin, c.rest);
        motion.SlideOut();
        EXPECT_EQ(desktop.origin, (WindowOrigin{c.rest.left, c.screen.height}));
        EXPECT_EQ(desktop.moves, 2 * kEnvelopeSlideSteps);
    }
}

TEST(EnvelopeMotion, ALargerPictureRestsInTheCornerAndRisesInProportionInTheSameSteps) {
    struct Case {
        int dpi;
        int size;
        int rise;
        WindowOrigin rest;
    };
    for (const Case& c :
         {Case{96, 135, 161, {889, 607}}, Case{120, 135, 161, {889, 607}}, Case{144, 203, 242, {821, 526}},
          Case{168, 203, 242, {821, 526}}, Case{192, 270, 322, {754, 446}}, Case{288, 270, 322, {754, 446}}}) {
        SCOPED_TRACE(c.dpi);
        ASSERT_EQ(EnvelopeSizeForDpi(c.dpi), c.size);
        EXPECT_EQ(EnvelopeRise(c.size), c.rise);
        FakeDesktop desktop;
        EnvelopeMotion motion(desktop, desktop, desktop, c.size);
        motion.SlideIn();
        EXPECT_EQ(desktop.origin, c.rest);
        EXPECT_EQ(std::count(desktop.events.begin(), desktop.events.end(), "pump"), kEnvelopeSlideSteps);
        EXPECT_EQ(desktop.sleeps.size(), 49u);
        motion.SlideOut();
        EXPECT_EQ(desktop.origin, (WindowOrigin{c.rest.left, 768}));
    }
}

TEST(EnvelopeMotion, RiseShowsThenPlacesThenMovesOnePixelAndPumpsAfterEveryStep) {
    FakeDesktop desktop;
    desktop.origin = {3, 5};  // wherever a previous display left it
    EnvelopeMotion motion(desktop, desktop, desktop);
    motion.SlideIn();
    ASSERT_GE(desktop.events.size(), 10u);
    EXPECT_THAT(std::vector<std::string>(desktop.events.begin(), desktop.events.begin() + 11),
                ElementsAre("show", "move 889,768", "move 889,767", "sleep 8", "pump", "move 889,766", "sleep 8",
                            "pump", "move 889,765", "pump", "move 889,764"));
    EXPECT_EQ(std::count(desktop.events.begin(), desktop.events.end(), "pump"), kEnvelopeSlideSteps);
    EXPECT_EQ(desktop.events.back(), "pump");
}

TEST(EnvelopeMotion, SinkingParksAtTheScreenHeightAfterTheLastPump) {
    FakeDesktop desktop;
    desktop.origin = {889, 607};
    EnvelopeMotion motion(desktop, desktop, desktop);
    motion.SlideOut();
    EXPECT_THAT(std::vector<std::string>(desktop.events.end() - 3, desktop.events.end()),
                ElementsAre("move 889,768", "pump", "move 889,768"));
    EXPECT_EQ(std::count(desktop.events.begin(), desktop.events.end(), "show"), 0);
}

TEST(EnvelopeMotion, ClickDuringTheRiseParksItAndTheRemainingStepsRiseFromThere) {
    FakeDesktop desktop;
    EnvelopeMotion motion(desktop, desktop, desktop);
    bool clicked = false;
    desktop.onPump = [&](int moves) {
        if (moves == 50 && !clicked) {
            clicked = true;
            motion.EndDisplay();
        }
    };
    motion.SlideIn();
    // 50 steps up, 161 down and parked at 768, then the 111 steps left of the rise.
    EXPECT_EQ(desktop.origin, (WindowOrigin{889, 768 - 111}));
    EXPECT_FALSE(desktop.timer2);
    EXPECT_EQ(motion.DisplayCounter, 0);
}

// Ticks of the display timer until the envelope starts to sink, reading "infotime" from a real store.
class DisplayTimeTest : public ::testing::Test {
  protected:
    DisplayTimeTest() : store(registry), motion(desktop, desktop, desktop) {
        desktop.displayTime = [this] { return StoredDisplayTime(store); };
        desktop.origin = {889, 607};
    }

    // Ticks until the timer is switched off; 0 when it is still on after `limit` ticks.
    int TicksUntilSinking(int limit = 1000) {
        for (int tick = 1; tick <= limit; ++tick) {
            motion.Timer2Timer();
            if (!desktop.timer2) {
                return tick;
            }
        }
        return 0;
    }

    MemoryRegistry registry;
    SettingsStore store;
    FakeDesktop desktop;
    EnvelopeMotion motion;
};

TEST(EnvelopeDisplayTime, StoredDisplayTimeDecidesTheTickThatStartsTheSinking) {
    struct Case {
        const char* stored;  // nullptr: no value
        int tick;
    };
    for (const Case& c : {Case{nullptr, 9}, Case{"8", 9}, Case{"3", 4}, Case{"60", 61}, Case{"100", 101},
                          Case{"abc", 9}, Case{"", 9}, Case{"0", 1}, Case{"-5", 1}}) {
        SCOPED_TRACE(c.stored ? std::string("infotime \"") + c.stored + "\"" : std::string("no infotime"));
        MemoryRegistry fresh;
        SettingsStore freshStore(fresh);
        if (c.stored) {
            freshStore.SaveText(kSettingsSection, "infotime", c.stored);
        }
        FakeDesktop local;
        local.origin = {889, 607};
        local.displayTime = [&] { return StoredDisplayTime(freshStore); };
        EnvelopeMotion localMotion(local, local, local);
        int tick = 0;
        while (local.timer2 && tick < 1000) {
            ++tick;
            localMotion.Timer2Timer();
        }
        EXPECT_EQ(tick, c.tick);
        EXPECT_EQ(localMotion.DisplayCounter, 0);
        EXPECT_EQ(local.origin, (WindowOrigin{889, 768}));
    }
}

TEST_F(DisplayTimeTest, TicksBeforeTheEndOnlyCount) {
    for (int tick = 1; tick <= 8; ++tick) {
        motion.Timer2Timer();
        EXPECT_EQ(motion.DisplayCounter, tick);
    }
    EXPECT_TRUE(desktop.timer2);
    EXPECT_TRUE(desktop.events.empty());
    motion.Timer2Timer();
    EXPECT_FALSE(desktop.timer2);
    EXPECT_EQ(desktop.events.front(), "timer2 off");
    EXPECT_EQ(desktop.origin, (WindowOrigin{889, 768}));
}

TEST_F(DisplayTimeTest, DisplayTimeSavedDuringTheDisplayActsAtTheNextTick) {
    for (int tick = 0; tick < 5; ++tick) {
        motion.Timer2Timer();
    }
    store.SaveInt(kSettingsSection, "infotime", 4);
    EXPECT_EQ(TicksUntilSinking(), 1);
}

TEST_F(DisplayTimeTest, SecondAnnouncementKeepsTheRunningCount) {
    for (int tick = 0; tick < 5; ++tick) {
        motion.Timer2Timer();
    }
    motion.SlideIn();  // a later round found another change; the round enables the timer again
    desktop.timer2 = true;
    EXPECT_EQ(motion.DisplayCounter, 5);
    EXPECT_EQ(TicksUntilSinking(), 4);  // the tick that brings the counter to 9
}

TEST_F(DisplayTimeTest, ClickEndsTheDisplayAtOnceWhateverTheDisplayTime) {
    for (const char* stored : {"8", "60", "100", "2147483647"}) {
        SCOPED_TRACE(stored);
        store.SaveText(kSettingsSection, "infotime", stored);
        desktop.timer2 = true;
        desktop.origin = {889, 607};
        motion.Timer2Timer();
        motion.EndDisplay();
        EXPECT_FALSE(desktop.timer2);
        EXPECT_EQ(motion.DisplayCounter, 0);
        EXPECT_EQ(desktop.origin, (WindowOrigin{889, 768}));
    }
}

TEST_F(DisplayTimeTest, DisplayTimeOfAnotherRegistryTypeEndsTheDisplayAndFailsTheTickOnce) {
    registry.PutNonText("Software\\Zelvik\\pg", "infotime");
    EXPECT_THROW(
        {
            try {
                motion.Timer2Timer();
            } catch (const AppError& failure) {
                EXPECT_STREQ(failure.what(), "Invalid data type for 'infotime'");
                throw;
            }
        },
        AppError);
    EXPECT_FALSE(desktop.timer2) << "no failure at every further tick";
    EXPECT_EQ(motion.DisplayCounter, 0) << "the next display counts from the start";
    EXPECT_EQ(desktop.origin, (WindowOrigin{889, 768}));
}

TEST(EnvelopeCount, TextAndOriginMoveLeftSixPixelsPerDigit) {
    struct Case {
        std::int32_t count;
        const char* text;
        TextOrigin origin;
    };
    for (const Case& c :
         {Case{1, "1", {57, 84}}, Case{9, "9", {57, 84}}, Case{10, "10", {51, 84}}, Case{100, "100", {45, 84}},
          Case{1234, "1234", {39, 84}}, Case{INT_MAX, "2147483647", {3, 84}}}) {
        EXPECT_EQ(CountText(c.count), c.text);
        EXPECT_EQ(CountTextOrigin(CountText(c.count)), c.origin) << c.text;
    }
}

TEST(EnvelopeCount, OriginAndFontScaleWithTheLargerPictures) {
    EXPECT_EQ(CountTextOrigin("12", 270), (TextOrigin{102, 168}));
    EXPECT_EQ(CountTextOrigin("12", 203), (TextOrigin{77, 126}));
    EXPECT_FLOAT_EQ(CountEmSize(), 20.0f);
    EXPECT_FLOAT_EQ(CountEmSize(270), 40.0f);
}

}  // namespace
}  // namespace pigeonet
