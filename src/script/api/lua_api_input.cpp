#include "script/api/lua_api_input.h"

#include "core/input.h"
#include "platform/linux/window.h"
#include "script/api/lua_api.h"
#include "script/lua_arguments.h"

namespace {

// The table entry of the named key; a name no key has reads as 0 (never pressed), so a
// stray write to the last entry can not make an unknown name look pressed.
int KeyEntry(lua_State* L, const std::array<uint8_t, 256>& table) {
    const int code = KeyCodeFromName(ReadStringArgument(L, 1));
    return code == kNoKey ? 0 : table[static_cast<std::size_t>(code)];
}

int PushBoolean(lua_State* L, bool value) {
    lua_pushboolean(L, value);
    return 1;
}

}  // namespace

int Api_input_reset(lua_State*) {
    ResetInput();
    return 0;
}

int Api_input_enable(lua_State* L) {
    if (lua_isboolean(L, 1)) {
        g_input.enabled = lua_toboolean(L, 1) != 0;
        ResetInput();
    }
    return PushBoolean(L, g_input.enabled);
}

int Api_kbd_struck(lua_State* L) { return PushBoolean(L, KeyEntry(L, g_input.keys.pressed) == kKeyPressed); }

int Api_kbd_repeat(lua_State* L) {
    const int entry = KeyEntry(L, g_input.keys.pressed);
    return PushBoolean(L, entry == kKeyPressed || entry == kKeyRepeated);
}

int Api_kbd_down(lua_State* L) { return PushBoolean(L, KeyEntry(L, g_input.keys.down) == kKeyHeld); }

int Api_kbd_chars(lua_State* L) {
    if (g_input.typed_length == 0) {
        lua_pushnil(L);
    } else {
        lua_pushlstring(L, g_input.typed.data(), g_input.typed_length);
    }
    return 1;
}

// No on-screen keyboard on this platform.
int Api_kbd_show(lua_State*) { return 0; }

int Api_mouse_hardware_cursor(lua_State* L) {
    if (lua_isboolean(L, 1)) SetHardwareCursor(lua_toboolean(L, 1) != 0);
    return 0;
}

int Api_mouse_block_out_not_pressed(lua_State* L) {
    g_input.mouse.block_out = !lua_toboolean(L, 1);
    return 0;
}

int Api_mouse_set_offset_xy(lua_State* L) {
    MouseState& mouse = g_input.mouse;
    const auto x = static_cast<float>(ReadNumberArgument(L, 1, 0));
    const auto y = static_cast<float>(ReadNumberArgument(L, 2, 0));
    mouse.x += x - mouse.offset_x;
    mouse.y += y - mouse.offset_y;
    mouse.offset_x = x;
    mouse.offset_y = y;
    return 0;
}
