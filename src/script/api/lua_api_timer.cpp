#include "script/api/lua_api_timer.h"

#include <cmath>

#include "core/frame_timer.h"
#include "script/lua_arguments.h"

int Api_timer_catchup(lua_State*) {
    GetFrameTimer().Reset();
    return 0;
}

int Api_timer_time(lua_State* L) {
    lua_pushnumber(L, GetFrameTimer().Now());
    return 1;
}

int Api_timer_systime(lua_State* L) {
    lua_pushnumber(L, GetFrameTimer().SystemTime());
    return 1;
}

int Api_timer_fps(lua_State* L) {
    const FrameTimer& timer = GetFrameTimer();
    const double fps = ReadBooleanArgument(L, 1, false) ? timer.fps_shown : timer.fps;
    lua_pushnumber(L, std::trunc(fps));
    return 1;
}
