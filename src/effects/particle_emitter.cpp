#include "effects/particle_emitter.h"

#include <algorithm>
#include <cmath>

#include "core/random.h"
#include "core/saturate.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;
constexpr float kRadiansToDegrees = 57.295776f;
constexpr int kBlendFactorOne = 2;

// The ranges read once per emit step from the starting curves.
struct SpawnRanges {
    float velocity[3], direction[3], rotation[3];
};

float RandomFraction() { return static_cast<float>(RandomNumber()) / static_cast<float>(kRandMax); }

float RandomBetween(float low, float high) { return low + RandomFraction() * (high - low); }

int Milliseconds(double seconds) { return TruncateToInt(seconds * 1000.0); }

int CycleMilliseconds(const ParticleEmitter& emitter) { return std::max(1, Milliseconds(emitter.cycle)); }

// Where in its cycle the emitter time lies; the time is never negative.
int CyclePosition(const ParticleEmitter& emitter) { return Milliseconds(emitter.time) % CycleMilliseconds(emitter); }

void Turn(float& x, float& y, float sine, float cosine) {
    const float turnedX = x * cosine - y * sine;
    y = x * sine + y * cosine;
    x = turnedX;
}

void Accelerate(const ParticleEmitter& emitter, Particle& p, float dt) {
    float gx = emitter.originX - p.x, gy = emitter.originY - p.y;
    const float length = std::sqrt(gx * gx + gy * gy);
    if (length > 0.01f) {
        gx /= length;
        gy /= length;
    }
    p.vx += dt * p.radial * gx - dt * p.tangential * gy;
    p.vy += dt * p.radial * gy + dt * p.tangential * gx;
}

void Move(ParticleEmitter& emitter, float dt) {
    if (emitter.noLiveParticles) return;
    emitter.noLiveParticles = true;
    for (int i = 0; i < emitter.limit; ++i) {
        Particle& p = emitter.particles[i];
        if (!p.alive) continue;
        if (p.age > emitter.life) {
            p.alive = false;
            continue;
        }
        p.age += dt;
        p.vy += dt * p.gravity;
        float spin[3];
        ParticleCurve_Evaluate(emitter.spin, Milliseconds(p.age), spin);
        p.rotation += dt * spin[0];
        if (p.radial != 0 || p.tangential != 0) Accelerate(emitter, p, dt);
        p.x += dt * p.vx;
        p.y += dt * p.vy;
        emitter.noLiveParticles = false;
    }
}

void PlaceOnShape(const ParticleEmitter& emitter, Particle& p) {
    const auto last = static_cast<float>(emitter.shapePoints.size() - 1);
    const auto k = static_cast<std::size_t>(TruncateToInt(RandomFraction() * last + 0.5f));
    ShapePoint point = emitter.shapePoints[std::min(k, emitter.shapePoints.size() - 1)];
    if (emitter.angle != 0) Turn(point.x, point.y, emitter.angleSin, emitter.angleCos);
    p.x += point.x;
    p.y += point.y;
}

void Launch(const ParticleEmitter& emitter, Particle& p, const SpawnRanges& ranges) {
    const float speed = RandomBetween(ranges.velocity[0], ranges.velocity[1]);
    float ox = p.x - emitter.originX, oy = p.y - emitter.originY;
    const float length = std::sqrt(ox * ox + oy * oy);
    if (length > 0.001f) {
        ox /= length;
        oy /= length;
    }
    if (emitter.relativeDirection && length > 0.1f) {
        const float turn = RandomBetween(ranges.direction[0], ranges.direction[1]) * kDegreesToRadians;
        p.vx = ox * speed;
        p.vy = oy * speed;
        Turn(p.vx, p.vy, std::sin(turn), std::cos(turn));
        return;
    }
    // 0 degrees points up the screen.
    const float heading = RandomBetween(ranges.direction[0] - 90, ranges.direction[1] - 90) * kDegreesToRadians;
    p.vx = speed * std::cos(heading);
    p.vy = speed * std::sin(heading);
}

// Into the first dead slot at or after the cursor; nothing when every slot is alive.
void Spawn(ParticleEmitter& emitter, int& cursor, const SpawnRanges& ranges) {
    while (cursor < emitter.limit && emitter.particles[cursor].alive) ++cursor;
    if (cursor >= emitter.limit) return;
    Particle& p = emitter.particles[cursor];
    p = Particle{};
    p.alive = true;
    p.x = emitter.originX;
    p.y = emitter.originY;
    if (!emitter.shapePoints.empty()) PlaceOnShape(emitter, p);
    Launch(emitter, p, ranges);
    p.gravity = RandomBetween(emitter.gravity.min, emitter.gravity.max);
    p.radial = RandomBetween(emitter.radial.min, emitter.radial.max);
    p.tangential = RandomBetween(emitter.tangential.min, emitter.tangential.max);
    p.rotation = RandomBetween(ranges.rotation[0], ranges.rotation[1]);
    if (!emitter.rects.empty()) p.rect = emitter.rects[static_cast<std::size_t>(RandomNumber()) % emitter.rects.size()];
    emitter.noLiveParticles = false;
}

// A count from data of any size: no step spawns more than the emitter has slots.
void SpawnMany(ParticleEmitter& emitter, int& cursor, double count, const SpawnRanges& ranges) {
    const int n = count > emitter.limit ? emitter.limit : TruncateToInt(count);
    for (int i = 0; i < n && cursor < emitter.limit; ++i) Spawn(emitter, cursor, ranges);
}

// Particles owed by the flow since the last spawn; next spawn time moves on by all of
// them, whether or not a slot was free.
double FlowSpawns(ParticleEmitter& emitter, int cyclePosition) {
    if (emitter.flow.count == 0) return 0;
    float rate[3];
    ParticleCurve_Evaluate(emitter.flow, cyclePosition, rate);
    if (!std::isfinite(rate[0]) || rate[0] <= 0) return 0;
    const double owed = (emitter.time - emitter.nextSpawn) * rate[0];
    if (!(owed > 0)) return 0;
    const double count = std::ceil(owed);
    emitter.nextSpawn += count / rate[0];
    return count;
}

// Burst keys from `from` up to (not including) `to` in the cycle, across a wrap.
double BurstSpawns(const ParticleCurve& burst, int from, int to) {
    double count = 0;
    for (int i = 0; i < burst.count; ++i) {
        const int time = burst.keys[i].time;
        const bool inside = from < to ? (from <= time && time < to) : to < from && (time >= from || time < to);
        if (inside) count += TruncateToInt(burst.keys[i].value[0] + 0.5);
    }
    return count;
}

// Keeps a looped emitter's time within one cycle.
void WrapTime(ParticleEmitter& emitter) {
    if (!emitter.looped || !(emitter.cycle > 0) || emitter.time < emitter.cycle) return;
    const double wrapped = std::fmod(emitter.time, double{emitter.cycle});
    emitter.nextSpawn -= emitter.time - wrapped;
    emitter.time = wrapped;
}

void Emit(ParticleEmitter& emitter, float dt) {
    const int start = CyclePosition(emitter);
    SpawnRanges ranges;
    ParticleCurve_Evaluate(emitter.velocity, start, ranges.velocity);
    ParticleCurve_Evaluate(emitter.direction, start, ranges.direction);
    ParticleCurve_Evaluate(emitter.rotation, start, ranges.rotation);
    emitter.time += dt;
    if (!emitter.looped && emitter.time > emitter.cycle) {
        emitter.emitting = false;
        emitter.time = emitter.cycle;
    }
    int cursor = 0;
    SpawnMany(emitter, cursor, FlowSpawns(emitter, start), ranges);
    SpawnMany(emitter, cursor, BurstSpawns(emitter.burst, start, CyclePosition(emitter)), ranges);
    WrapTime(emitter);
}

void DrawParticle(const ParticleEmitter& emitter, const Particle& p, float drawSine, float drawCosine) {
    const int age = Milliseconds(p.age);
    float color[3], scale[3], alpha[3];
    ParticleCurve_Evaluate(emitter.color, age, color);
    ParticleCurve_Evaluate(emitter.scale, age, scale);
    ParticleCurve_Evaluate(emitter.alpha, age, alpha);
    float angle = p.rotation;
    if (emitter.relativeRotation) angle += std::atan2(p.vy, p.vx) * kRadiansToDegrees + 90;
    angle += emitter.drawAngle;
    float x = p.x * emitter.drawScaleX, y = p.y * emitter.drawScaleY;
    Turn(x, y, drawSine, drawCosine);
    Texture* texture = emitter.texture.get();
    const ParticleRect& r = p.rect;
    DrawTexturedQuad(x + emitter.offsetX, y + emitter.offsetY, 0, (r.u1 - r.u0) * static_cast<float>(texture->width),
                     (r.v1 - r.v0) * static_cast<float>(texture->height), r.u0, r.v0, r.u1, r.v1, texture, angle,
                     alpha[0] * emitter.alphaFactor, scale[0] * emitter.drawScaleX, scale[0] * emitter.drawScaleY,
                     color, r.pivotX, r.pivotY, 0, 0, 0, 0);
}

}  // namespace

void ParticleEmitter_Update(ParticleEmitter& emitter, float dt) {
    if (!std::isfinite(dt) || dt < 0) return;
    Move(emitter, dt);
    if (emitter.emitting) Emit(emitter, dt);
}

void ParticleEmitter_Render(ParticleEmitter& emitter) {
    if (emitter.noLiveParticles || !emitter.texture) return;
    FlushBatch(kAllBatchSlots);
    // Put back what was in force, which need not be plain alpha blending.
    const BlendState found = g_renderer.blend;
    BlendState own = found;
    if (emitter.blending == kParticleAdd) {
        own.src = kBlendFactorSrcAlpha;
        own.dst = kBlendFactorOne;
    }
    if (emitter.blending == kParticleSubtract) own.equation = kBlendOpSubtract;
    const bool ownBlending = emitter.blending != kParticleAlpha;
    if (ownBlending) RestoreBlendState(own);
    const float turn = emitter.drawAngle * kDegreesToRadians;
    const float sine = std::sin(turn), cosine = std::cos(turn);
    for (int i = 0; i < emitter.limit; ++i)
        if (emitter.particles[i].alive) DrawParticle(emitter, emitter.particles[i], sine, cosine);
    FlushBatch(kAllBatchSlots);
    if (ownBlending) RestoreBlendState(found);
}

void ParticleEmitter_Restart(ParticleEmitter& emitter) {
    for (int i = 0; i < emitter.limit; ++i) emitter.particles[i].alive = false;
    emitter.noLiveParticles = true;
    emitter.nextSpawn = 0;
    emitter.time = 0;
    emitter.emitting = true;
}

void ParticleEmitter_SetAngle(ParticleEmitter& emitter, float degrees) {
    emitter.angle = degrees;
    emitter.angleSin = std::sin(degrees * kDegreesToRadians);
    emitter.angleCos = std::cos(degrees * kDegreesToRadians);
}
