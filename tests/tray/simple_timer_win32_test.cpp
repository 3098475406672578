#include "tray/simple_timer_win32.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/tray_test_windows_win32.h"

namespace pigeonet {
namespace {

using testing::PumpFor;

class SimpleTimerTest : public ::testing::Test {
  protected:
    SimpleTimerTest() {
        timer.OnTimer = [this] { ticks.push_back(GetTickCount() - start); };
    }
    void Begin() { start = GetTickCount(); }

    TSimpleTimer timer;
    std::vector<DWORD> ticks;
    DWORD start = 0;
};

TEST_F(SimpleTimerTest, StartsWithOneSecondAndSwitchedOff) {
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.Active());
    EXPECT_FALSE(timer.OneShot);
}

TEST_F(SimpleTimerTest, RefusesToStartWithAPeriodOfZero) {
    timer.SetInterval(0);
    EXPECT_FALSE(timer.Start());
    EXPECT_FALSE(timer.Active());
    PumpFor(100);
    EXPECT_TRUE(ticks.empty());
}

TEST_F(SimpleTimerTest, TicksOneFullPeriodAfterStartAndStopsOnStop) {
    timer.SetInterval(100);
    Begin();
    ASSERT_TRUE(timer.Start());
    EXPECT_TRUE(timer.Active());
    PumpFor(70);
    EXPECT_TRUE(ticks.empty());
    PumpFor(300);
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_GE(ticks.front(), 90u);
    timer.Stop();
    EXPECT_FALSE(timer.Active());
    const auto counted = ticks.size();
    PumpFor(250);
    EXPECT_EQ(ticks.size(), counted);
}

TEST_F(SimpleTimerTest, ZeroPeriodHaltsASwitchedOnTimerUntilANewPeriodComes) {
    timer.SetInterval(50);
    ASSERT_TRUE(timer.Start());
    timer.SetInterval(0);
    EXPECT_TRUE(timer.Active());
    PumpFor(200);
    EXPECT_TRUE(ticks.empty());
    Begin();
    timer.SetInterval(80);
    PumpFor(200);
    ASSERT_FALSE(ticks.empty());
    EXPECT_GE(ticks.front(), 70u);
}

TEST_F(SimpleTimerTest, OneShotTicksOnce) {
    timer.OneShot = true;
    timer.SetInterval(40);
    ASSERT_TRUE(timer.Start());
    PumpFor(300);
    EXPECT_EQ(ticks.size(), 1u);
    EXPECT_FALSE(timer.Active());
}

TEST_F(SimpleTimerTest, TimersTickIndependently) {
    TSimpleTimer other;
    int otherTicks = 0;
    other.OnTimer = [&] { ++otherTicks; };
    other.SetInterval(30);
    timer.SetInterval(1000);
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(timer.Start());
    PumpFor(250);
    EXPECT_GE(otherTicks, 3);
    EXPECT_TRUE(ticks.empty());
}

}  // namespace
}  // namespace pigeonet
