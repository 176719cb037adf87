#include "script/interpolated_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

namespace {

struct TickCase {
    const char* spec;
    std::vector<float> ticks;
    float expected;
    bool interpolating;
};

void PrintTo(const TickCase& c, std::ostream* out) { *out << '"' << c.spec << '"'; }

float Tick(InterpolatedValue& value, const std::vector<float>& ticks) {
    for (const float dt : ticks) value.update(dt);
    return value.value();
}

class InterpolatedValueTicks : public testing::TestWithParam<TickCase> {};

TEST_P(InterpolatedValueTicks, HoldsTheExpectedValue) {
    const TickCase& c = GetParam();
    InterpolatedValue value;
    value.parse(c.spec);
    EXPECT_NEAR(Tick(value, c.ticks), c.expected, 1e-4) << c.spec;
    EXPECT_EQ(value.isInterpolating(), c.interpolating) << c.spec;
}

INSTANTIATE_TEST_SUITE_P(
    Specs, InterpolatedValueTicks,
    testing::Values(
        TickCase{"0=0 1=10", {0.5f}, 5, true},
        TickCase{"0=0 1=10", {0.5f, 0.5f}, 10, false},
        TickCase{"0=0 cosine 1=10", {0.25f}, 10 * (0.5f - 0.5f * std::cos(3.1415927f / 4)), true},
        // The easing word belongs to the last key frame, whose segment does not exist.
        TickCase{"0=0 1=10 cosine", {0.25f}, 2.5f, true},
        TickCase{"accelerate 0=0 1=10", {0.5f}, 2.5f, true},
        TickCase{"decelerate 0=0 1=10", {0.5f}, 7.5f, true},
        TickCase{"1=0 2=10", {0.5f}, 0, true},
        TickCase{"1=0 2=10", {0.5f, 1.0f}, 5, true},
        TickCase{"5=3", {0.5f}, 0, false},
        TickCase{"loop", {0.5f}, 0, false},
        // Option words after a key frame are ignored: no looping.
        TickCase{"0=0 2=10 loop", {1.0f, 1.5f}, 10, false},
        TickCase{"loop 0=0 2=10", {1.0f, 1.5f}, 2.5f, true},
        TickCase{"ping 0=0 1=10", {1.0f}, 10, true},
        TickCase{"ping 0=0 1=10", {1.0f, 0.5f}, 5, true},
        TickCase{"ping 0=0 1=10", {1.0f, 1.0f}, 0, false},
        TickCase{"ping loop 0=0 1=10", {1.0f, 1.0f, 0.25f}, 2.5f, true},
        // Cosine only for the segment starting at the word's key frame.
        TickCase{"0=0 cosine 1=1 2=0", {1.5f}, 0.5f, true},
        TickCase{"0=0 cosine 1=1 2=0", {0.25f}, 0.5f - 0.5f * std::cos(3.1415927f / 4), true},
        TickCase{"1=10 0=0", {0.25f}, 2.5f, true},
        TickCase{"0=0 +1=10 +1=0", {1.5f}, 5, true},
        TickCase{"0=0 1=10", {0.5f, 0.0f}, 5, true},
        // Tabs are no separators: the whole word fails to read as a key frame.
        TickCase{"0=0\t1=10", {0.5f}, 0, false},
        TickCase{"0=0 junk 1=10", {0.5f}, 5, true}));

TEST(InterpolatedValue, ParsesOptionsKeyFramesAndSegmentEasings) {
    InterpolatedValue value;
    value.parse("loop cosine 0=0 1=100 decelerate +2=0");
    EXPECT_TRUE(value.loops());
    EXPECT_FALSE(value.pings());
    EXPECT_EQ(value.defaultEasing(), kEasingCosine);
    const std::vector<KeyFrame>& frames = value.keyFrames();
    ASSERT_EQ(frames.size(), 3u);
    const KeyFrame expected[] = {{0, 0, kEasingDefault}, {1, 100, kEasingDecelerate}, {3, 0, kEasingDefault}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i].time, expected[i].time) << i;
        EXPECT_EQ(frames[i].value, expected[i].value) << i;
        EXPECT_EQ(frames[i].easing, expected[i].easing) << i;
    }
}

TEST(InterpolatedValue, KeyFramesOfEqualTimeKeepTheirOrder) {
    InterpolatedValue value;
    value.addKeyFrame(1, 5, 0);
    value.addKeyFrame(0, 0, 0);
    value.addKeyFrame(1, 7, 0);
    const std::vector<KeyFrame>& frames = value.keyFrames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].value, 5);
    EXPECT_EQ(frames[2].value, 7);
}

TEST(InterpolatedValue, LoopRepeatsThePartBeforeTheFirstKeyFrame) {
    InterpolatedValue value;
    value.parse("loop 1=0 2=10");
    EXPECT_FLOAT_EQ(Tick(value, {1.5f}), 5);
    EXPECT_FLOAT_EQ(Tick(value, {1.0f}), 0);  // 2.5 wraps to 0.5, before the first key frame
    EXPECT_TRUE(value.isInterpolating());
}

TEST(InterpolatedValue, SetImmediateStopsTheAnimation) {
    InterpolatedValue value(1);
    EXPECT_EQ(value.value(), 1);
    value.parse("loop ping cosine 0=0 1=10");
    value.update(0.5f);
    value.setImmediate(3);
    value.update(0.5f);
    EXPECT_EQ(value.value(), 3);
    EXPECT_FALSE(value.isInterpolating());
    EXPECT_FALSE(value.loops());
    EXPECT_FALSE(value.pings());
    EXPECT_EQ(value.defaultEasing(), kEasingLinear);
    EXPECT_TRUE(value.keyFrames().empty());
}

// The stopped animation's playback state (time, segment, direction) must not carry over.
TEST(InterpolatedValue, AnAnimationAfterSetImmediateStartsAfresh) {
    InterpolatedValue value;
    value.parse("ping 0=0 1=10 2=20");
    Tick(value, {2.5f, 0.25f});  // past the end, now going back
    value.setImmediate(3);
    value.parse("0=0 1=10");
    EXPECT_FLOAT_EQ(Tick(value, {0.25f}), 2.5f);
    EXPECT_FALSE(value.pings());
    EXPECT_FLOAT_EQ(Tick(value, {1.0f}), 10);
    EXPECT_FALSE(value.isInterpolating());
}

// Cases where the plain formulas divide by zero or take an empty modulo: the value
// must stay a number (the later key frame's value) and the ticks must go on.
struct DegenerateCase {
    const char* spec;
    std::vector<float> ticks;
    float expected;
};

void PrintTo(const DegenerateCase& c, std::ostream* out) { *out << '"' << c.spec << '"'; }

class InterpolatedValueDegenerate : public testing::TestWithParam<DegenerateCase> {};

TEST_P(InterpolatedValueDegenerate, NeverBecomesNaN) {
    const DegenerateCase& c = GetParam();
    InterpolatedValue value;
    value.parse(c.spec);
    for (const float dt : c.ticks) {
        value.update(dt);
        ASSERT_TRUE(std::isfinite(value.value())) << c.spec;
    }
    EXPECT_FLOAT_EQ(value.value(), c.expected) << c.spec;
}

INSTANTIATE_TEST_SUITE_P(
    Specs, InterpolatedValueDegenerate,
    testing::Values(
        // Back before the first key frame, onto a zero-length first segment.
        DegenerateCase{"ping loop 0=0 0=10 1=20", {0.5f, 0.5f, 0.5f, 0.75f}, 10},
        DegenerateCase{"0=0 1=5 +0=10 2=20", {0.5f, 0.5f, 0.25f}, 12.5f},
        DegenerateCase{"0=0 0=10", {0.5f}, 10},
        DegenerateCase{"loop 0=3 0=10", {0.5f, 0.5f, 0.5f}, 10},
        DegenerateCase{"loop -2=4 -1=6", {0.5f, 0.5f}, 6},
        // Bouncing back past the first key frame holds its value, no extrapolation.
        DegenerateCase{"ping loop -1=0 0=10", {0.5f, 0.25f, 0.5f, 0.5f, 0.5f}, 0},
        DegenerateCase{"ping 0=0 0=10", {0.5f, 0.5f, 0.5f}, 0},
        DegenerateCase{"0=0 nan=5 1=10", {0.5f}, 5},
        DegenerateCase{"0=0 1=inf 2=10", {0.5f}, 2.5f},
        DegenerateCase{"0=0 1=10", {std::numeric_limits<float>::quiet_NaN(), 0.5f}, 5},
        DegenerateCase{"0=0 1=10", {std::numeric_limits<float>::infinity(), 0.5f}, 5}));

TEST(InterpolatedValue, LoopWithoutPeriodFinishesOnTheLastValue) {
    InterpolatedValue value;
    value.parse("loop 0=3 0=10");
    value.update(0.5f);
    EXPECT_FALSE(value.isInterpolating());
}

TEST(InterpolatedValue, RejectsNonFiniteKeyFrames) {
    InterpolatedValue value;
    EXPECT_FALSE(value.addKeyFrame(std::numeric_limits<float>::infinity(), 1, 0));
    EXPECT_FALSE(value.addKeyFrame(0, std::numeric_limits<float>::quiet_NaN(), 0));
    EXPECT_TRUE(value.addKeyFrame(0, 1, 0));
    EXPECT_EQ(value.keyFrames().size(), 1u);
}

}  // namespace
