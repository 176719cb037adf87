#pragma once
// Flat script functions: bitmaps by handle, sprites, boxes, vertex quads, render targets,
// crops and screenshots.
#include <lua.hpp>

struct Texture;

// The bitmap handle at `index` when the scripts still hold it, else null.
Texture* ReadBitmapArgument(lua_State* L, int index);
// Forgets every bitmap handle (a new script state holds none).
void ForgetBitmapHandles();

int Api_gfx_garbage_collect(lua_State* L);
int Api_gfx_is_bitmap_valid(lua_State* L);
int Api_gfx_load_bitmap(lua_State* L);
int Api_gfx_create_bitmap(lua_State* L);
int Api_gfx_release_bitmap(lua_State* L);
int Api_gfx_screenshot(lua_State* L);
int Api_gfx_render_target(lua_State* L);
int Api_gfx_render_sprite(lua_State* L);
int Api_gfx_render_sprite_by_vertex_table(lua_State* L);
int Api_gfx_render_box(lua_State* L);
int Api_gfx_sprite_params(lua_State* L);
int Api_gfx_crop_sprite(lua_State* L);
