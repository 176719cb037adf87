#pragma once
// The flat script API: registration of every global function and table, and the
// per-frame refresh of the tables the engine writes.
#include <lua.hpp>

// Called once, after the libraries are open and before "init.lua" runs.
void RegisterLuaApi();
// Before the script's update: the input state into `mouse` and `touchpad`.
void UpdateMouseTables();
// After the script's render: the texture and draw statistics into `velk`.
void UpdateEngineStats();

// Lenient argument reading shared by the flat functions: a string, or a number as its
// text; null for anything else or a missing argument.
const char* ReadStringArgument(lua_State* L, int index);
