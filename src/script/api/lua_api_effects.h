#pragma once
// Flat script functions: particle systems and collision masks by handle. The scripts own
// what they load until they release it; a released, stale or foreign handle reads as null.
#include <lua.hpp>

// Frees every particle system and mask placement the scripts held (a new script state
// holds none).
void ForgetEffectHandles();

int Api_gfx_particle_start(lua_State* L);
int Api_gfx_particle_restart(lua_State* L);
int Api_gfx_particle_stop(lua_State* L);
int Api_gfx_particle_release(lua_State* L);
int Api_gfx_particle_update(lua_State* L);
int Api_gfx_particle_render(lua_State* L);
int Api_gfx_particle_set_pos(lua_State* L);
int Api_gfx_particle_set_angle(lua_State* L);
int Api_gfx_collision_mask_load(lua_State* L);
int Api_gfx_collision_mask_release(lua_State* L);
int Api_gfx_collision_mask_size(lua_State* L);
int Api_gfx_collision_mask_test(lua_State* L);
