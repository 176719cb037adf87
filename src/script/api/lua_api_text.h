#pragma once
// Flat script functions of text:
// - gfx_render_simple_text (x, y, text): 8-bit text in the built-in debug font, white
// - gfx_reset_true_text_cache (): TrueText forgets its fonts, sizes and text blocks
#include <lua.hpp>

int Api_gfx_render_simple_text(lua_State* L);
int Api_gfx_reset_true_text_cache(lua_State* L);
