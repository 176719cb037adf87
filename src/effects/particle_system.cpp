#include "effects/particle_system.h"

#include <algorithm>

#include "effects/particle_loader.h"

void DeleteParticleSystem(ParticleSystem* system) {
    if (!system) return;
    ParticleSystem_Destroy(*system);
    delete system;
}

ParticleSystemPtr ParticleSystem_Load(const std::string& fileName) {
    ParticleSystemPtr system(new ParticleSystem);
    if (!ParseParticleFile(fileName, *system)) return nullptr;
    return system;
}

void ParticleSystem_Update(ParticleSystem& system, float dt) {
    for (const auto& emitter : system.emitters) ParticleEmitter_Update(*emitter, dt);
}

void ParticleSystem_Render(ParticleSystem& system) {
    for (const auto& emitter : system.emitters) ParticleEmitter_Render(*emitter);
}

void ParticleSystem_Restart(ParticleSystem& system) {
    for (const auto& emitter : system.emitters) ParticleEmitter_Restart(*emitter);
}

void ParticleSystem_SetEmitting(ParticleSystem& system, bool emitting) {
    for (const auto& emitter : system.emitters) emitter->emitting = emitting;
}

bool ParticleSystem_IsEmitting(const ParticleSystem& system) {
    return std::any_of(system.emitters.begin(), system.emitters.end(), [](const auto& e) { return e->emitting; });
}

bool ParticleSystem_IsFinished(const ParticleSystem& system) {
    return std::all_of(system.emitters.begin(), system.emitters.end(),
                       [](const auto& e) { return e->noLiveParticles; });
}

void ParticleSystem_SetPosition(ParticleSystem& system, float x, float y) {
    for (const auto& emitter : system.emitters) {
        emitter->originX = x;
        emitter->originY = y;
    }
}

void ParticleSystem_SetAngle(ParticleSystem& system, float degrees) {
    for (const auto& emitter : system.emitters) ParticleEmitter_SetAngle(*emitter, degrees);
}

void ParticleSystem_SetTransform(ParticleSystem& system, float offsetX, float offsetY, float angle, float scaleX,
                                 float scaleY) {
    for (const auto& emitter : system.emitters) {
        emitter->offsetX = offsetX;
        emitter->offsetY = offsetY;
        emitter->drawAngle = angle;
        emitter->drawScaleX = scaleX;
        emitter->drawScaleY = scaleY;
    }
}

void ParticleSystem_SetAlpha(ParticleSystem& system, float alpha) {
    for (const auto& emitter : system.emitters) emitter->alphaFactor = alpha;
}

void ParticleSystem_Destroy(ParticleSystem& system) { system.emitters.clear(); }
