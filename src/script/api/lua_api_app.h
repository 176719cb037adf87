#pragma once
// Flat script functions: application and log.
#include <lua.hpp>

int Api_sys_exit(lua_State* L);
int Api_log(lua_State* L);
int Api_app_active(lua_State* L);
int Api_msg(lua_State* L);
