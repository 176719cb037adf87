// The frame clock as the scripts read it.
#include "api_fixture.h"
#include "core/frame_timer.h"
#include "fixtures/fake_clock.h"

namespace {

class TimerApi : public ApiTest {
protected:
    FakeFrameTimer timer{5000};
};

TEST_F(TimerApi, TimeIsReadFromTheClockNowAndSystemTimeIsAbsolute) {
    FakeClock::now += 1500;
    EXPECT_EQ(Eval("timer_time()"), "1.5");
    EXPECT_EQ(Eval("timer_systime()"), "6.5");
    EXPECT_DOUBLE_EQ(GetFrameTimer().time, 0) << "reading does not advance the frame time";
}

TEST_F(TimerApi, CatchupLeavesTheSkippedTimeOutOfTheNextStep) {
    FrameTimer& frames = GetFrameTimer();
    frames.Tick();
    FakeClock::now += 3000;  // a long pause, e.g. loading
    ASSERT_EQ(Run("timer_catchup()"), "");
    EXPECT_DOUBLE_EQ(frames.dt, 0.001);
    FakeClock::now += 20;
    EXPECT_NEAR(frames.Tick(), 0.020, 1e-9);
}

TEST_F(TimerApi, FpsIsTruncatedAndTheShownFigureNeedsABooleanTrue) {
    FrameTimer& frames = GetFrameTimer();
    frames.fps = 59.9;
    frames.fps_shown = 30.7;
    EXPECT_EQ(Eval("timer_fps()"), "59");
    EXPECT_EQ(Eval("timer_fps(false)"), "59");
    EXPECT_EQ(Eval("timer_fps(1)"), "59");
    EXPECT_EQ(Eval("timer_fps(true)"), "30");
    frames.fps = 1e300;  // a degenerate rate stays a number
    EXPECT_EQ(Eval("timer_fps() > 1e299"), "true");
}

}  // namespace
