#pragma once
// Every reader of a value argument of a script function.
//   Flat functions, lenient (never a script error): ReadStringArgument,
//     ReadBooleanArgument, ReadNumberArgument, ReadRoundedArgument, ReadColorArgument
//   Object methods (the object is argument 1, the first real argument is 2), fatal on a
//     wrong type: LuaArgString, LuaArgNumber, LuaArgBool; lenient: LuaArgNumberOr
// Object arguments are unwrapped by the binder (LuaArgObject in lua_bound.h).
#include <lua.hpp>

#include <cstdint>

// A string, or a number as its text; null for anything else or a missing argument.
const char* ReadStringArgument(lua_State* L, int index);
// The value when it is of boolean type, else the fallback.
bool ReadBooleanArgument(lua_State* L, int index, bool fallback);
// A number or a numeric string; the fallback for anything else or a missing argument.
double ReadNumberArgument(lua_State* L, int index, double fallback);
// ReadNumberArgument rounded to the nearest integer, halves to the even neighbour.
int ReadRoundedArgument(lua_State* L, int index, int fallback);
// The colour text at `colorIndex` (a string or a number's text) over the low 24 bits,
// else the default colour's; the number at `alphaIndex` as alpha 0..1, else the default.
uint32_t ReadColorArgument(lua_State* L, int colorIndex, int alphaIndex, uint32_t defaultColor, float defaultAlpha);

const char* LuaArgString(lua_State* L);
float LuaArgNumber(lua_State* L, int index);
float LuaArgNumberOr(lua_State* L, int index, float fallback);
bool LuaArgBool(lua_State* L);
