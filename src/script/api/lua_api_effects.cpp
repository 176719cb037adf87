#include "script/api/lua_api_effects.h"

#include <cstring>
#include <memory>

#include "effects/collision_mask.h"
#include "effects/collision_mask_registry.h"
#include "effects/particle_system.h"
#include "script/api/live_handles.h"
#include "script/api/lua_api.h"
#include "script/lua_arguments.h"
#include "script/lua_base.h"

namespace {

LiveHandles<ParticleSystem>& Particles() {
    static LiveHandles<ParticleSystem> particles;
    return particles;
}

LiveHandles<CollisionMaskRef>& Masks() {
    static LiveHandles<CollisionMaskRef> masks;
    return masks;
}

void FreeMaskRef(CollisionMaskRef* ref) {
    CollisionMask_Release(ref->mask);
    delete ref;
}

float Number(lua_State* L, int index, double fallback = 0.0) {
    return static_cast<float>(ReadNumberArgument(L, index, fallback));
}

// The live particle system of argument 1; else the script error "<function>(NULL)",
// which does not return.
ParticleSystem& ParticleArgument(lua_State* L, const char* function) {
    ParticleSystem* system = Particles().read(L, 1);
    if (!system) LuaErrorf(L, "%s(NULL)", function);
    return *system;
}

CollisionMaskRef& MaskArgument(lua_State* L, int index, const char* function) {
    CollisionMaskRef* ref = Masks().read(L, index);
    if (!ref) LuaErrorf(L, "%s(NULL)", function);
    return *ref;
}

int MaskChannelOf(const char* word) {
    if (!word) return kMaskRed;
    if (std::strcmp(word, "alpha") == 0) return kMaskAlpha;
    if (std::strcmp(word, "blue") == 0) return kMaskBlue;
    if (std::strcmp(word, "green") == 0) return kMaskGreen;
    return kMaskRed;
}

}  // namespace

void ForgetEffectHandles() {
    Particles().clear(DeleteParticleSystem);
    Masks().clear(FreeMaskRef);
}

int Api_gfx_particle_start(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    ParticleSystemPtr system = name ? ParticleSystem_Load(name) : nullptr;
    if (!system) {
        lua_pushnil(L);
        return 1;
    }
    ParticleSystem_SetPosition(*system, Number(L, 2), Number(L, 3));
    lua_pushlightuserdata(L, Particles().add(system.get()));
    system.release();  // the scripts own it now
    return 1;
}

int Api_gfx_particle_restart(lua_State* L) {
    ParticleSystem_Restart(ParticleArgument(L, "gfx_particle_restart"));
    return 0;
}

int Api_gfx_particle_stop(lua_State* L) {
    ParticleSystem& system = ParticleArgument(L, "gfx_particle_stop");
    if (ReadBooleanArgument(L, 2, false)) ParticleSystem_Restart(system);
    ParticleSystem_SetEmitting(system, false);
    return 0;
}

int Api_gfx_particle_release(lua_State* L) {
    ParticleSystem& system = ParticleArgument(L, "gfx_particle_release");
    Particles().release(&system);
    DeleteParticleSystem(&system);
    return 0;
}

int Api_gfx_particle_update(lua_State* L) {
    ParticleSystem& system = ParticleArgument(L, "gfx_particle_update");
    ParticleSystem_Update(system, Number(L, 2));
    lua_pushboolean(L, ParticleSystem_IsEmitting(system) || !ParticleSystem_IsFinished(system));
    return 1;
}

int Api_gfx_particle_render(lua_State* L) {
    ParticleSystem_Render(ParticleArgument(L, "gfx_particle_render"));
    return 0;
}

int Api_gfx_particle_set_pos(lua_State* L) {
    ParticleSystem_SetPosition(ParticleArgument(L, "gfx_particle_set_pos"), Number(L, 2), Number(L, 3));
    return 0;
}

int Api_gfx_particle_set_angle(lua_State* L) {
    ParticleSystem_SetAngle(ParticleArgument(L, "gfx_particle_set_angle"), Number(L, 2));
    return 0;
}

int Api_gfx_collision_mask_load(lua_State* L) {
    const char* name = ReadStringArgument(L, 1);
    if (!name) return LuaErrorf(L, "Can't load collision mask from %s", "nil");
    CollisionMask* mask = CollisionMask_Load(name, MaskChannelOf(ReadStringArgument(L, 4)));
    auto ref = std::make_unique<CollisionMaskRef>();
    CollisionMaskRef_Init(*ref, mask, Number(L, 2, -1.0), Number(L, 3, -1.0));
    lua_pushlightuserdata(L, Masks().add(ref.get()));
    ref.release();  // the scripts own it now
    return 1;
}

int Api_gfx_collision_mask_release(lua_State* L) {
    CollisionMaskRef& ref = MaskArgument(L, 1, "gfx_collision_mask_release");
    Masks().release(&ref);
    FreeMaskRef(&ref);
    return 0;
}

int Api_gfx_collision_mask_size(lua_State* L) {
    const CollisionMaskRef& ref = MaskArgument(L, 1, "gfx_collision_mask_size");
    lua_pushnumber(L, ref.mask->width);
    lua_pushnumber(L, ref.mask->height);
    return 2;
}

int Api_gfx_collision_mask_test(lua_State* L) {
    const CollisionMaskRef& ref = MaskArgument(L, 3, "gfx_collision_mask_test");
    lua_pushboolean(L,
                    CollisionMask_Test(*ref.mask, Number(L, 1), Number(L, 2), Number(L, 4), Number(L, 5), ref.hotspotX,
                                       ref.hotspotY, Number(L, 6), Number(L, 7, 1.0), Number(L, 8, 1.0)));
    return 1;
}
