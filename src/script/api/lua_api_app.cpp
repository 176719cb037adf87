#include "script/api/lua_api_app.h"

#include <string>
#include <unordered_set>

#include "core/app_state.h"
#include "core/log.h"
#include "core/string_utils.h"
#include "platform/linux/events.h"
#include "platform/linux/message_box.h"
#include "platform/linux/window.h"
#include "script/api/lua_api.h"
#include "script/lua_arguments.h"

namespace {

constexpr std::size_t kMessageUnits = 1023;

// The text as a message box shows it: at most 1023 UTF-16 units.
std::string MessageText(const char* text) {
    char16_t units[kMessageUnits + 1];
    DecodeUtf8(text, units, kMessageUnits);
    char bytes[kMessageUnits * 3 + 1];
    return std::string(bytes, EncodeUtf8(units, bytes, sizeof bytes));
}

// Ids answered with Abort or Ignore; they stay quiet until the process ends.
std::unordered_set<int>& SilencedIds() {
    static std::unordered_set<int> ids;
    return ids;
}

void ShowScriptMessage(const char* text, int id) {
    if (id < 1) {
        ShowMessageBox(MessageText(text), "VELK message", MessageBoxKind::Information, GetAppWindow());
        return;
    }
    if (SilencedIds().count(id)) return;
    const std::string caption = "VELK message [" + std::to_string(id) + "]";
    const MessageBoxAnswer answer =
        ShowMessageBox(MessageText(text), caption, MessageBoxKind::AbortRetryIgnore, GetAppWindow());
    if (answer == MessageBoxAnswer::Abort || answer == MessageBoxAnswer::Ignore) SilencedIds().insert(id);
    if (answer == MessageBoxAnswer::Abort) PostCloseRequest();
}

}  // namespace

int Api_sys_exit(lua_State*) {
    g_app.quit_requested = true;
    return 0;
}

int Api_app_active(lua_State* L) {
    lua_pushboolean(L, g_app.active);
    return 1;
}

int Api_log(lua_State* L) {
    if (const char* text = ReadStringArgument(L, 1)) LogPrintf("%s", text);
    return 0;
}

int Api_print(lua_State* L) {
    if (const char* text = ReadStringArgument(L, 1)) PrintToConsole(text, kConsolePrint);
    return 0;
}

int Api_msg(lua_State* L) {
    const char* text = ReadStringArgument(L, 1);
    ShowScriptMessage(text ? text : "", ReadRoundedArgument(L, 2, 0));
    return 0;
}
