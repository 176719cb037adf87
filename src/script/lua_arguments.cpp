#include "script/lua_arguments.h"

#include <climits>
#include <cmath>

#include "core/log.h"
#include "graphics/render.h"

namespace {

constexpr const char* kWrongArgument = "Wrong argument for function";

}  // namespace

const char* ReadStringArgument(lua_State* L, int index) {
    const int type = lua_type(L, index);
    return type == LUA_TSTRING || type == LUA_TNUMBER ? lua_tostring(L, index) : nullptr;
}

bool ReadBooleanArgument(lua_State* L, int index, bool fallback) {
    return lua_isboolean(L, index) ? lua_toboolean(L, index) != 0 : fallback;
}

double ReadNumberArgument(lua_State* L, int index, double fallback) {
    return lua_isnumber(L, index) ? lua_tonumber(L, index) : fallback;
}

int ReadRoundedArgument(lua_State* L, int index, int fallback) {
    const double value = ReadNumberArgument(L, index, fallback);
    // Out of range (and NaN) would be undefined as an int: clamp to what an int holds.
    if (!(value > INT_MIN)) return INT_MIN;
    if (!(value < INT_MAX)) return INT_MAX;
    return static_cast<int>(std::nearbyint(value));
}

uint32_t ReadColorArgument(lua_State* L, int colorIndex, int alphaIndex, uint32_t defaultColor, float defaultAlpha) {
    const float alpha = static_cast<float>(ReadNumberArgument(L, alphaIndex, defaultAlpha));
    return MakeColorARGB(ReadStringArgument(L, colorIndex), defaultColor, alpha);
}

const char* LuaArgString(lua_State* L) {
    const int type = lua_type(L, 2);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) LogError(__FILE__, __LINE__, "%s", kWrongArgument);
    return lua_tostring(L, 2);
}

float LuaArgNumber(lua_State* L, int index) {
    if (!lua_isnumber(L, index)) LogError(__FILE__, __LINE__, "%s", kWrongArgument);
    return static_cast<float>(lua_tonumber(L, index));
}

float LuaArgNumberOr(lua_State* L, int index, float fallback) {
    return lua_isnumber(L, index) ? static_cast<float>(lua_tonumber(L, index)) : fallback;
}

bool LuaArgBool(lua_State* L) {
    if (lua_type(L, 2) != LUA_TBOOLEAN) LogError(__FILE__, __LINE__, "%s", kWrongArgument);
    return lua_toboolean(L, 2);
}
