#include "effects/particle_curve.h"

#include <gtest/gtest.h>

namespace {

ParticleCurve CurveOf(std::initializer_list<std::pair<int, float>> keys) {
    ParticleCurve curve;
    for (const auto& [time, value] : keys) {
        const float values[3] = {value, value, value};
        ParticleCurve_AddKey(curve, time, values);
    }
    return curve;
}

float ValueAt(const ParticleCurve& curve, int time) {
    float out[3];
    ParticleCurve_Evaluate(curve, time, out);
    return out[0];
}

TEST(ParticleCurve, EvaluatesBetweenAndBeyondItsKeys) {
    const ParticleCurve curve = CurveOf({{500, 0}, {0, 1}, {1000, 4}});
    struct Case {
        int time;
        float value;
    } cases[] = {{-100, 1}, {0, 1}, {250, 0.5f}, {500, 0}, {750, 2}, {1000, 4}, {5000, 4}};
    for (const Case& c : cases) EXPECT_FLOAT_EQ(ValueAt(curve, c.time), c.value) << c.time;
    EXPECT_FLOAT_EQ(ValueAt(ParticleCurve{}, 10), 0);
}

TEST(ParticleCurve, KeysStaySortedAndUnique) {
    const ParticleCurve curve = CurveOf({{300, 3}, {100, 1}, {300, 7}, {200, 2}});
    ASSERT_EQ(curve.count, 3);
    EXPECT_EQ(curve.keys[0].time, 100);
    EXPECT_EQ(curve.keys[1].time, 200);
    EXPECT_EQ(curve.keys[2].time, 300);
    EXPECT_EQ(curve.keys[2].value[0], 7);
}

TEST(ParticleCurve, HoldsSixteenKeys) {
    ParticleCurve curve;
    for (int i = 0; i < 17; ++i) {
        const float values[3] = {static_cast<float>(i), 0, 0};
        ParticleCurve_AddKey(curve, i * 10, values);
    }
    EXPECT_EQ(curve.count, kMaxParticleKeys);
    EXPECT_EQ(ParticleCurve_LastTime(curve), 150);
    // A full curve still takes new values at a time it has.
    const float replaced[3] = {-1, 0, 0};
    ParticleCurve_AddKey(curve, 0, replaced);
    EXPECT_EQ(ValueAt(curve, 0), -1);
}

TEST(ParticleCurve, KeysAtTheEndsOfTheIntRangeInterpolate) {
    const ParticleCurve curve = CurveOf({{-2147483647 - 1, 0}, {2147483647, 2}});
    EXPECT_NEAR(ValueAt(curve, 0), 1, 1e-6);
}

}  // namespace
