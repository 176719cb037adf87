#pragma once
// Flat script functions: the frame clock.
#include <lua.hpp>

int Api_timer_catchup(lua_State* L);
int Api_timer_time(lua_State* L);
int Api_timer_systime(lua_State* L);
int Api_timer_fps(lua_State* L);
