#pragma once
// Flat script functions: application and log.
#include <lua.hpp>

int Api_sys_exit(lua_State* L);
int Api_log(lua_State* L);
// To the developer console, in place of the script library's own print.
int Api_print(lua_State* L);
int Api_app_active(lua_State* L);
int Api_msg(lua_State* L);
