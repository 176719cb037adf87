#pragma once
// Flat script functions of text: bitmap fonts by name and size, and texts drawn and
// measured by whichever renderer `true_text` chooses; text in the built-in debug font
// (gfx_render_simple_text) and the TrueText cache reset (gfx_reset_true_text_cache).
#include <lua.hpp>

int Api_gfx_load_font(lua_State* L);
int Api_gfx_release_font(lua_State* L);
int Api_gfx_set_font(lua_State* L);
int Api_gfx_render_text(lua_State* L);
int Api_gfx_text_size(lua_State* L);
int Api_gfx_set_asian_wrapping_mode(lua_State* L);
int Api_gfx_render_simple_text(lua_State* L);
int Api_gfx_reset_true_text_cache(lua_State* L);
