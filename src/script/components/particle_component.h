#pragma once
// Runs one particle effect attached to its object: emitters placed through the object's
// own transform, particles drawn in the space of the object's parent. Reports once when
// the effect has finished and can then kill its object.
#include "effects/particle_system.h"
#include "script/components/visual_component.h"

class ParticleComponent : public VisualComponent {
public:
    static constexpr const char* kClassName = "ParticleComponent";
    static const MethodEntry<ParticleComponent> methods[];

    ParticleComponent() { id = "particle"; }

    void registerMethods(lua_State* L) override;
    void setup(lua_State* L) override;
    void finalizeSetup() override;
    void update(float dt) override;
    void render() override;

    bool finished = false;
    bool killWhenFinished = false;
    ScriptCallback onFinished;
    bool finishedReported = false;

private:
    void updateEmitterPosition();

    int luaFinished(lua_State* L);
    int luaRestart(lua_State* L);
    int luaStart(lua_State* L);
    int luaStop(lua_State* L);
    int luaSetKillWhenFinished(lua_State* L);

    ParticleSystemPtr system_;
};
