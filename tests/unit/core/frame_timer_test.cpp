#include "core/frame_timer.h"

#include <gtest/gtest.h>

#include "fixtures/fake_clock.h"

namespace {

// A timer as start-up leaves it, on a clock the test moves.
class FrameTimerTest : public ::testing::Test {
protected:
    uint32_t& g_now = FakeClock::now;

    void SetUp() override { Start(100000); }

    void Start(uint32_t now) {
        g_now = now;
        timer = FrameTimer(FakeClock::Read);
        timer.divisor = 1000;
        timer.max_step = 0.5;
        timer.start = timer.Counter();
    }
    double StepMs(uint32_t ms) {
        g_now += ms;
        return timer.Tick();
    }

    FrameTimer timer;
};

TEST_F(FrameTimerTest, StallIsClampedAndTheRingRecordsTheClampedStep) {
    EXPECT_DOUBLE_EQ(StepMs(3000), 0.5);
    EXPECT_DOUBLE_EQ(timer.samples[timer.newest], 0.5);
    EXPECT_DOUBLE_EQ(timer.time, 3.0);

    FrameTimer fresh(FakeClock::Read);
    g_now += 3000;
    EXPECT_DOUBLE_EQ(fresh.Tick(), 0.1) << "the construction value clamps at 0.1";
}

TEST_F(FrameTimerTest, StepsOverTwoSecondsNeverReachTheRing) {
    timer.max_step = 10;
    const int newest = timer.newest;
    EXPECT_DOUBLE_EQ(StepMs(3000), 3.0);
    EXPECT_EQ(timer.newest, newest);
}

TEST_F(FrameTimerTest, CounterWrapGivesSmallPositiveSteps) {
    Start(0xFFFFFFFFu - 20);
    double previousTime = timer.time;
    for (int i = 0; i < 5; ++i) {
        const double dt = StepMs(16);
        EXPECT_NEAR(dt, 0.016, 1e-9) << "step " << i;
        EXPECT_GT(timer.time, previousTime);
        previousTime = timer.time;
    }
    EXPECT_LT(g_now, 100u) << "the counter did wrap";
    EXPECT_NEAR(timer.Now(), 0.080, 1e-9);
}

TEST_F(FrameTimerTest, ResetMakesTheNextStepStartAtTheReset) {
    StepMs(16);
    g_now += 10000;
    timer.Reset();
    EXPECT_DOUBLE_EQ(timer.dt, 0.001);
    EXPECT_NEAR(StepMs(20), 0.020, 1e-9);
}

TEST_F(FrameTimerTest, SteadySixtyFramesPerSecond) {
    // 1000/60 ms in whole milliseconds: 17, 17, 16, ...
    double shownChanges = 0;
    double lastShown = timer.fps_shown;
    uint32_t elapsed = 0;
    for (int frame = 1; frame <= 180; ++frame) {
        const uint32_t target = static_cast<uint32_t>(frame * 1000 / 60);
        StepMs(target - elapsed);
        elapsed = target;
        if (timer.fps_shown != lastShown) {
            ++shownChanges;
            lastShown = timer.fps_shown;
        }
    }
    EXPECT_NEAR(timer.fps, 60.0, 0.5);
    EXPECT_NEAR(timer.fps_shown, 60.0, 1.0);
    EXPECT_LE(shownChanges, 3) << "fps shown refreshes at most once a second";
}

TEST_F(FrameTimerTest, FastFramesAreAveragedOverASecondGoingRoundTheRing) {
    for (int i = 0; i < 400; ++i) StepMs(1);
    EXPECT_NEAR(timer.fps, 1000.0, 1e-6);
}

TEST_F(FrameTimerTest, SlowFramesAreAveragedOverTenFrames) {
    for (int i = 0; i < 20; ++i) StepMs(250);
    EXPECT_NEAR(timer.fps, 4.0, 1e-9);
}

TEST_F(FrameTimerTest, RingWrapsToIndexZeroWithAnExactSum) {
    for (int i = 0; i < 399; ++i) timer.AddSample(0.01);
    EXPECT_EQ(timer.newest, 399);
    timer.sum += 123;  // drift that the wrap must clear
    timer.AddSample(0.02);
    EXPECT_EQ(timer.newest, 0);
    EXPECT_DOUBLE_EQ(timer.samples[0], 0.02);
    EXPECT_NEAR(timer.sum, 399 * 0.01 + 0.02, 1e-9);
}

TEST_F(FrameTimerTest, NonPositiveStepsAreIgnored) {
    timer.AddSample(0);
    timer.AddSample(-1);
    EXPECT_EQ(timer.newest, 0);
}

}  // namespace
