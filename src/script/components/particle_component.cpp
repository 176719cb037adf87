#include "script/components/particle_component.h"

#include <cmath>

#include "core/log.h"
#include "script/lua_base.h"
#include "script/scene/game_object.h"
#include "script/scene/layer.h"
#include "script/scene_walk.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

}  // namespace

const MethodEntry<ParticleComponent> ParticleComponent::methods[] = {
    {"finished", &ParticleComponent::luaFinished},
    {"restart", &ParticleComponent::luaRestart},
    {"start", &ParticleComponent::luaStart},
    {"stop", &ParticleComponent::luaStop},
    {"set_kill_when_finished", &ParticleComponent::luaSetKillWhenFinished},
    {nullptr, nullptr},
};

void ParticleComponent::registerMethods(lua_State* L) {
    VisualComponent::registerMethods(L);
    LuaBinder<ParticleComponent>::registerMethods(L);
}

void ParticleComponent::setup(lua_State* L) {
    VisualComponent::setup(L);
    const char* name = LuaTableGetString(L, "particle");
    if (name) {
        system_ = ParticleSystem_Load(name);
        if (system_) ParticleSystem_SetPosition(*system_, 0, 0);
    }
    if (!system_) VELK_ERROR("Particle component is missing particle FX definition (%s)\n", name ? name : "nil");
    if (LuaTableIsBoolean(L, "kill_when_finished")) killWhenFinished = LuaTableGetBool(L, "kill_when_finished");
    if (const char* function = LuaTableGetString(L, "on_finished")) {
        onFinished.forward = true;
        onFinished.method = function;
    }
    updateEmitterPosition();
}

void ParticleComponent::finalizeSetup() {
    VisualComponent::finalizeSetup();
    if (hasLuaFunction("on_finished")) onFinished.bound = true;
}

// The owner's own values: the particles are drawn in the space of the owner's parent.
void ParticleComponent::updateEmitterPosition() {
    if (!owner || !system_) return;
    float px = owner->scale_x.value() * x.value(), py = owner->scale_y.value() * y.value();
    const float a = owner->angle.value() * kDegreesToRadians;
    const float turnedX = px * std::cos(a) - py * std::sin(a);
    py = px * std::sin(a) + py * std::cos(a);
    px = turnedX;
    ParticleSystem_SetPosition(*system_, px + owner->x.value(), py + owner->y.value());
}

void ParticleComponent::update(float dt) {
    updateAbsoluteValues();
    if (!system_) return;  // attached without setup
    updateEmitterPosition();
    ParticleSystem_Update(*system_, dt);
    finished = !ParticleSystem_IsEmitting(*system_) && ParticleSystem_IsFinished(*system_);
    if (!finished) return;
    const SceneWalk walk;  // the callbacks may remove this component or its object
    if (!finishedReported) {
        finishedReported = true;
        ScriptCallback::fire("on_finished", onFinished, ownerLayer(), this);
    }
    // An owner killed already (by this or anything else) is not killed again: on_kill once.
    if (killWhenFinished && owner && !owner->dead) owner->kill();
}

void ParticleComponent::render() {
    updateAbsoluteValues();
    if (!system_ || !owner) return;
    beginRender();
    const GameClass* space = owner->transformParent ? owner->transformParent : owner->layer;
    const Transform t = space ? space->effectiveTransform() : Transform{0, 0, 0, 1, 1};
    ParticleSystem_SetTransform(*system_, t.x, t.y, t.angle, t.scale_x, t.scale_y);
    ParticleSystem_SetAlpha(*system_, effectiveAlpha());
    ParticleSystem_Render(*system_);
    endRender();
}

int ParticleComponent::luaFinished(lua_State* L) {
    lua_pushboolean(L, finished);
    return 1;
}

int ParticleComponent::luaRestart(lua_State*) {
    if (system_) ParticleSystem_Restart(*system_);
    finished = false;
    return 0;
}

int ParticleComponent::luaStart(lua_State*) {
    if (!system_) return 0;
    if (finished) {
        ParticleSystem_Restart(*system_);
        finished = false;
    } else {
        ParticleSystem_SetEmitting(*system_, true);
    }
    return 0;
}

int ParticleComponent::luaStop(lua_State* L) {
    if (!system_) return 0;
    if (lua_type(L, 2) == LUA_TBOOLEAN && lua_toboolean(L, 2)) ParticleSystem_Restart(*system_);
    ParticleSystem_SetEmitting(*system_, false);
    return 0;
}

int ParticleComponent::luaSetKillWhenFinished(lua_State* L) {
    killWhenFinished = LuaArgBool(L);
    return 0;
}
