#pragma once
// Lenient argument reading of the flat functions beyond strings (see ReadStringArgument):
// nothing here ever raises a script error.
#include <lua.hpp>

// The value when it is of boolean type, else the fallback.
bool ReadBooleanArgument(lua_State* L, int index, bool fallback);
// A number or a numeric string; the fallback for anything else or a missing argument.
double ReadNumberArgument(lua_State* L, int index, double fallback);
// ReadNumberArgument rounded to the nearest integer, halves to the even neighbour.
int ReadRoundedArgument(lua_State* L, int index, int fallback);
