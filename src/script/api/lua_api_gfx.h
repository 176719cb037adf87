#pragma once
// Flat script functions: display settings, render states, colours and the font-scale
// state that the text functions read.
#include <lua.hpp>

#include <cstdint>
#include <string>

// Red, green, blue and alpha of a packed colour, each byte / 255.
void UnpackColor(uint32_t argb, float rgb[3], float& alpha);
// The name up to its first digit, followed by trunc(factor * size + 0.5) limited to
// 0..900 when digits follow (arial12 x 1.5 is arial18); a name without digits is kept.
std::string ScaleBitmapFontName(const std::string& name, float factor);
// Back to the defaults of a new script state.
void ResetGfxState();

int Api_gfx_use_non_retina_fonts(lua_State* L);
int Api_gfx_global_font_scaling(lua_State* L);
int Api_gfx_enable_dithering_16_bit(lua_State* L);
int Api_gfx_is_dithering_16_bit_enabled(lua_State* L);
int Api_gfx_aspect_ratio_correction(lua_State* L);
int Api_gfx_resolution(lua_State* L);
int Api_gfx_color(lua_State* L);
int Api_gfx_blending(lua_State* L);
int Api_gfx_blending_src_dest(lua_State* L);
int Api_gfx_alpha_test(lua_State* L);
int Api_gfx_depth_enable(lua_State* L);
int Api_gfx_cull(lua_State* L);
int Api_gfx_batch_layer(lua_State* L);
int Api_gfx_current_mode(lua_State* L);
int Api_gfx_full_screen(lua_State* L);
