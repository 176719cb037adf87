#pragma once
// Flat script functions: keyboard, mouse and cursor.
#include <lua.hpp>

int Api_input_reset(lua_State* L);
int Api_input_enable(lua_State* L);
int Api_kbd_struck(lua_State* L);
int Api_kbd_repeat(lua_State* L);
int Api_kbd_down(lua_State* L);
int Api_kbd_chars(lua_State* L);
int Api_kbd_show(lua_State* L);
int Api_mouse_hardware_cursor(lua_State* L);
int Api_mouse_block_out_not_pressed(lua_State* L);
int Api_mouse_set_offset_xy(lua_State* L);
