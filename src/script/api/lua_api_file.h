#pragma once
// Flat script functions: the virtual file system. Writes go to the writable folder and
// never leave it.
#include <lua.hpp>

int Api_file_add_directory_storage(lua_State* L);
int Api_file_add_pack_storage(lua_State* L);
int Api_file_load_lua(lua_State* L);
int Api_file_load_strings(lua_State* L);
int Api_file_load(lua_State* L);
int Api_file_save(lua_State* L);
int Api_file_remove(lua_State* L);
int Api_file_rename(lua_State* L);
int Api_file_exists(lua_State* L);
int Api_file_search(lua_State* L);
int Api_file_create_directory(lua_State* L);
int Api_file_remove_directory(lua_State* L);
