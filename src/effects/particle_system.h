#pragma once
// A loaded particle effect: its emitters, advanced and drawn together in file order.
// Main thread only.
//
// ParticleSystem_Load          a new system from a particle file, or null without emitters
// ParticleSystem_Update        every emitter: move, then emit
// ParticleSystem_Render        every emitter with its blending
// ParticleSystem_Restart       every emitter empty, at time 0 and emitting
// ParticleSystem_SetEmitting   every emitter's emitting flag
// ParticleSystem_IsEmitting    whether any emitter emits
// ParticleSystem_IsFinished    whether no emitter has a live particle
// ParticleSystem_SetPosition   where new particles are born
// ParticleSystem_SetAngle      the angle that turns shape offsets
// ParticleSystem_SetTransform  where the whole effect is drawn (offset, angle, scale)
// ParticleSystem_SetAlpha      a factor on every particle's alpha
// ParticleSystem_Destroy       deletes every emitter
// DeleteParticleSystem         frees a system
#include <memory>
#include <string>
#include <vector>

#include "effects/particle_emitter.h"

struct ParticleSystem {
    std::vector<std::unique_ptr<ParticleEmitter>> emitters;
};

void DeleteParticleSystem(ParticleSystem* system);

struct ParticleSystemDeleter {
    void operator()(ParticleSystem* system) const { DeleteParticleSystem(system); }
};
using ParticleSystemPtr = std::unique_ptr<ParticleSystem, ParticleSystemDeleter>;

ParticleSystemPtr ParticleSystem_Load(const std::string& fileName);
void ParticleSystem_Update(ParticleSystem& system, float dt);
void ParticleSystem_Render(ParticleSystem& system);
void ParticleSystem_Restart(ParticleSystem& system);
void ParticleSystem_SetEmitting(ParticleSystem& system, bool emitting);
bool ParticleSystem_IsEmitting(const ParticleSystem& system);
bool ParticleSystem_IsFinished(const ParticleSystem& system);
void ParticleSystem_SetPosition(ParticleSystem& system, float x, float y);
void ParticleSystem_SetAngle(ParticleSystem& system, float degrees);
void ParticleSystem_SetTransform(ParticleSystem& system, float offsetX, float offsetY, float angle, float scaleX,
                                 float scaleY);
void ParticleSystem_SetAlpha(ParticleSystem& system, float alpha);
void ParticleSystem_Destroy(ParticleSystem& system);
