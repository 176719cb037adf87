#pragma once
// Flat script functions: web pages in the user's browser and web requests by id.
#include <lua.hpp>

int Api_net_open_web(lua_State* L);
int Api_net_get(lua_State* L);
int Api_net_post_begin(lua_State* L);
int Api_net_post_value(lua_State* L);
int Api_net_post_end(lua_State* L);
int Api_net_status(lua_State* L);
int Api_net_output(lua_State* L);
int Api_net_release(lua_State* L);
