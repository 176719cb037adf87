#pragma once
// One emitter of a particle effect: a fixed array of particle slots, filled over a cycle
// of emitter time by a steady flow and timed bursts, moved under gravity, radial and
// tangential acceleration, and drawn as textured quads whose colour, alpha, scale and
// spin follow curves over each particle's age. Main thread only.
//
// ParticleEmitter_Update    moves the live particles, then emits (a bad dt is ignored)
// ParticleEmitter_Render    draws the live particles with the emitter's blending
// ParticleEmitter_Restart   no particles, emitter time 0, emitting on
// ParticleEmitter_SetAngle  the angle that turns shape offsets
#include <memory>
#include <vector>

#include "effects/particle_curve.h"
#include "graphics/texture.h"

enum ParticleBlending : int { kParticleAlpha = 0, kParticleAdd = 1, kParticleSubtract = 2 };

// Texture coordinates relative to the device texture; the pivot in pixels.
struct ParticleRect {
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    float pivotX = 0, pivotY = 0;
};

struct Particle {
    float x, y;
    float vx, vy;
    float rotation;
    float gravity, radial, tangential;
    bool alive;
    float age;
    ParticleRect rect;
};

struct ParticleRange {
    float min = 0, max = 0;
};

struct ShapePoint {
    float x, y;
};

struct ParticleEmitter {
    ParticleCurve alpha, color, scale, spin;
    ParticleCurve flow, burst, direction, rotation, velocity;
    ParticleRange gravity, radial, tangential;
    float life = 0;   // seconds
    float cycle = 0;  // seconds
    // Kept within one cycle of a looped emitter, so hours of looping lose no precision.
    double time = 0, nextSpawn = 0;
    TextureReference texture;
    int blending = kParticleAlpha;
    std::unique_ptr<Particle[]> particles;
    int limit = 0;
    int explosionParts = 0;
    float originX = 0, originY = 0;
    float angle = 0, angleSin = 0, angleCos = 1;
    bool noLiveParticles = true, emitting = false, loaded = false, looped = true;
    bool relativeDirection = false, relativeRotation = false;
    std::vector<ParticleRect> rects;
    std::vector<ShapePoint> shapePoints;
    float offsetX = 0, offsetY = 0, drawAngle = 0, drawScaleX = 1, drawScaleY = 1;
    float alphaFactor = 1;
};

void ParticleEmitter_Update(ParticleEmitter& emitter, float dt);
void ParticleEmitter_Render(ParticleEmitter& emitter);
void ParticleEmitter_Restart(ParticleEmitter& emitter);
void ParticleEmitter_SetAngle(ParticleEmitter& emitter, float degrees);
