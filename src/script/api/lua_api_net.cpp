#include "script/api/lua_api_net.h"

#include <cstring>

#include "core/log.h"
#include "net/net_manager.h"
#include "platform/linux/web_browser.h"
#include "platform/linux/window.h"
#include "script/lua_arguments.h"

namespace {

int32_t ReadRequestId(lua_State* L) {
    return ReadRoundedArgument(L, 1, 0);
}

}  // namespace

int Api_net_open_web(lua_State* L) {
    const char* address = ReadStringArgument(L, 1);
    LogPrintf("net_open_web: %s", address ? address : "");
    if (!address || !*address) return 0;
    MinimizeAppWindow();
    OpenWebAddress(address);
    return 0;
}

int Api_net_get(lua_State* L) {
    const char* url = ReadStringArgument(L, 1);
    lua_pushinteger(L, url ? GetNetManager().Get(url, ReadStringArgument(L, 2), ReadStringArgument(L, 3)) : 0);
    return 1;
}

int Api_net_post_begin(lua_State* L) {
    const char* url = ReadStringArgument(L, 1);
    lua_pushinteger(L, url ? GetNetManager().PostBegin(url, ReadStringArgument(L, 2), ReadStringArgument(L, 3)) : 0);
    return 1;
}

int Api_net_post_value(lua_State* L) {
    const char* key = ReadStringArgument(L, 2);
    const char* value = ReadStringArgument(L, 3);
    lua_pushboolean(L, key && value && GetNetManager().PostValue(ReadRequestId(L), key, value));
    return 1;
}

int Api_net_post_end(lua_State* L) {
    lua_pushboolean(L, GetNetManager().PostEnd(ReadRequestId(L), ReadBooleanArgument(L, 2, true)));
    return 1;
}

int Api_net_status(lua_State* L) {
    static constexpr const char* kStateNames[] = {"idle", "busy", "ok", "error"};
    lua_pushstring(L, kStateNames[static_cast<int>(GetNetManager().Status(ReadRequestId(L)))]);
    return 1;
}

int Api_net_output(lua_State* L) {
    std::size_t length = 0;
    const char* bytes = GetNetManager().Output(ReadRequestId(L), &length);
    if (!bytes) {
        lua_pushnil(L);
        return 1;
    }
    // As text the string ends at the first zero byte.
    if (ReadBooleanArgument(L, 2, true)) length = strnlen(bytes, length);
    lua_pushlstring(L, bytes, length);
    return 1;
}

int Api_net_release(lua_State* L) {
    lua_pushboolean(L, GetNetManager().Release(ReadRequestId(L)));
    return 1;
}
