#include "script/lua_api_arguments.h"

#include <climits>
#include <cmath>

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
