#pragma once
// Key-frame curves of up to three values over time in milliseconds: what a particle's
// alpha, colour, scale and spin follow over its age, and what an emitter's flow, bursts
// and starting ranges follow over its cycle.
//
// ParticleCurve_AddKey    inserts a key in time order, or replaces the values at its time
// ParticleCurve_Evaluate  the values at a time, linear between keys
// ParticleCurve_LastTime  the time of the last key (0 without keys)

inline constexpr int kMaxParticleKeys = 16;

struct ParticleKey {
    int time = 0;  // milliseconds
    float value[3] = {0, 0, 0};
};

struct ParticleCurve {
    int count = 0;
    ParticleKey keys[kMaxParticleKeys];
};

// A key at a new time is dropped once the curve holds 16 keys.
void ParticleCurve_AddKey(ParticleCurve& curve, int time, const float values[3]);
void ParticleCurve_Evaluate(const ParticleCurve& curve, int time, float out[3]);
int ParticleCurve_LastTime(const ParticleCurve& curve);
