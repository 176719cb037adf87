#include "script/lua_api_app.h"

#include "core/log.h"
#include "core/velk_main.h"
#include "script/lua_api.h"

int Api_sys_exit(lua_State*) {
    g_app.quit_requested = true;
    return 0;
}

int Api_log(lua_State* L) {
    if (const char* text = ReadStringArgument(L, 1)) LogPrintf("%s", text);
    return 0;
}
