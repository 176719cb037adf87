#include "effects/particle_curve.h"

#include <algorithm>
#include <iterator>

namespace {

// The first key at or after the time.
const ParticleKey* LowerBound(const ParticleCurve& curve, int time) {
    return std::lower_bound(curve.keys, curve.keys + curve.count, time,
                            [](const ParticleKey& key, int t) { return key.time < t; });
}

void CopyValues(const float from[3], float to[3]) { std::copy(from, from + 3, to); }

}  // namespace

void ParticleCurve_AddKey(ParticleCurve& curve, int time, const float values[3]) {
    ParticleKey* at = curve.keys + (LowerBound(curve, time) - curve.keys);
    ParticleKey* const end = curve.keys + curve.count;
    if (at != end && at->time == time) {
        CopyValues(values, at->value);
        return;
    }
    if (curve.count == kMaxParticleKeys) return;
    std::move_backward(at, end, end + 1);
    at->time = time;
    CopyValues(values, at->value);
    ++curve.count;
}

void ParticleCurve_Evaluate(const ParticleCurve& curve, int time, float out[3]) {
    if (curve.count == 0) {
        std::fill(out, out + 3, 0.0f);
        return;
    }
    const ParticleKey* after = LowerBound(curve, time);
    if (after == curve.keys + curve.count) {
        CopyValues(curve.keys[curve.count - 1].value, out);
        return;
    }
    if (after->time == time || after == curve.keys) {
        CopyValues(after->value, out);
        return;
    }
    const ParticleKey* before = std::prev(after);
    // In double: key times may lie the whole int range apart.
    const auto f = static_cast<float>((static_cast<double>(time) - before->time) /
                                      (static_cast<double>(after->time) - before->time));
    for (int i = 0; i < 3; ++i) out[i] = before->value[i] + f * (after->value[i] - before->value[i]);
}

int ParticleCurve_LastTime(const ParticleCurve& curve) {
    return curve.count == 0 ? 0 : curve.keys[curve.count - 1].time;
}
