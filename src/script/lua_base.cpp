#include "script/lua_base.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/music_stopped_notice.h"
#include "core/config.h"
#include "core/input.h"
#include "core/random.h"
#include "graphics/sprite_batch.h"
#include "storage/storage.h"
#include "text/font_benchmark.h"

namespace {

lua_State* g_lua = nullptr;
// The state's one traceback handler, in its registry.
int g_tracebackRef = LUA_NOREF;

DeveloperOverlay g_overlay;

constexpr const char* kNoMessage = "(error with no message)";

// Windows virtual-key codes of the developer hot keys.
constexpr int kKeyShift = 0x10;
constexpr int kKeyF2 = 0x71;
constexpr int kKeyF6 = 0x75;
constexpr int kKeyF8 = 0x77;

// Pushing a C function makes a new closure each time, and the engine calls into the
// scripts thousands of times a frame: the handler is made once. A script that replaced
// the registry slot through the debug library gets a fresh one.
void PushTraceback(lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, g_tracebackRef);
    if (lua_tocfunction(L, -1) == LuaTraceback) return;
    lua_pop(L, 1);
    lua_pushcfunction(L, LuaTraceback);
}

// The error object on the stack top as text.
const char* ErrorMessage(lua_State* L) {
    switch (lua_type(L, -1)) {
        case LUA_TSTRING:
        case LUA_TNUMBER: return lua_tostring(L, -1);
        default: return kNoMessage;
    }
}

[[noreturn]] void ReportCallError(lua_State* L, int status, const char* context, const char* file, int line) {
    const char* message = ErrorMessage(L);
    const char* kind = LuaErrorKind(status);
    if (!context && !file) LogError(__FILE__, __LINE__, "LUA ERROR [%d] = %s\n%s\n", status, kind, message);
    LogError(__FILE__, __LINE__, "LUA ERROR [%d - %s],  [C source]: %s <%s:%d>\n%s\n", status, kind,
             context ? context : "?", file ? file : "?", line, message);
}

// Lua's math.random and math.randomseed, on the engine's generator.
int MathRandom(lua_State* L) {
    const lua_Number r = static_cast<lua_Number>(RandomNumber() % kRandMax) / kRandMax;
    switch (lua_gettop(L)) {
        case 0: lua_pushnumber(L, r); return 1;
        case 1: {
            const int upper = luaL_checkint(L, 1);
            luaL_argcheck(L, upper >= 1, 1, "interval is empty");
            lua_pushnumber(L, std::floor(r * upper) + 1);
            return 1;
        }
        case 2: {
            const int lower = luaL_checkint(L, 1);
            const int upper = luaL_checkint(L, 2);
            luaL_argcheck(L, lower <= upper, 2, "interval is empty");
            lua_pushnumber(L, std::floor(r * (upper - lower + 1)) + lower);
            return 1;
        }
        default: return luaL_error(L, "wrong number of arguments");
    }
}

int MathRandomSeed(lua_State* L) {
    SeedRandom(static_cast<unsigned int>(luaL_checkint(L, 1)));
    return 0;
}

void ReplaceMathRandom(lua_State* L) {
    lua_getglobal(L, "math");
    lua_pushcfunction(L, MathRandom);
    lua_setfield(L, -2, "random");
    lua_pushcfunction(L, MathRandomSeed);
    lua_setfield(L, -2, "randomseed");
    lua_pop(L, 1);
}

// Pushes the global entry point. When it is nil and optional, pops it and gives false.
// Without a state (start-up ended early, or a window rebuilt before scripts) nothing runs.
bool PushEntryPoint(const char* name, bool required) {
    if (!g_lua) return false;
    lua_getglobal(g_lua, name);
    if (required || !lua_isnil(g_lua, -1)) return true;
    lua_pop(g_lua, 1);
    return false;
}

void CallEntryPoint(const char* name, const char* context, bool required) {
    if (PushEntryPoint(name, required)) LuaCallProtected(0, 0, context, __FILE__, __LINE__);
}

void CallMusicStopped() {
    std::string name;
    if (!TakeMusicStoppedNotice(name) || !PushEntryPoint("music_stopped", false)) return;
    lua_pushlstring(g_lua, name.data(), name.size());
    LuaCallProtected(1, 0, "LuaUpdate", __FILE__, __LINE__);
}


// The field on the table at the top, pushed; nothing is pushed when the top is no table.
bool PushField(lua_State* L, const char* field) {
    if (!lua_istable(L, -1)) return false;
    lua_getfield(L, -1, field);
    return true;
}

int FieldType(lua_State* L, const char* field) {
    if (!PushField(L, field)) return LUA_TNONE;
    const int type = lua_type(L, -1);
    lua_pop(L, 1);
    return type;
}

}  // namespace

lua_State* LuaGetState() { return g_lua; }

void LuaCreateState() {
    if (g_lua) return;
    g_lua = luaL_newstate();
    if (!g_lua) VELK_ERROR("Couldn't create the script state");
    LuaOpenLibs(g_lua);
    lua_pushcfunction(g_lua, LuaTraceback);
    g_tracebackRef = luaL_ref(g_lua, LUA_REGISTRYINDEX);
}

void LuaCloseState() {
    if (!g_lua) return;
    lua_close(g_lua);
    g_lua = nullptr;
    g_tracebackRef = LUA_NOREF;
}

void LuaOpenLibs(lua_State* L) {
    static constexpr luaL_Reg kLibraries[] = {
        {"", luaopen_base},
        {LUA_TABLIBNAME, luaopen_table},
        {LUA_STRLIBNAME, luaopen_string},
        {LUA_MATHLIBNAME, luaopen_math},
        {LUA_DBLIBNAME, luaopen_debug},
    };
    for (const luaL_Reg& library : kLibraries) {
        lua_pushcfunction(L, library.func);
        lua_pushstring(L, library.name);
        lua_call(L, 1, 0);
    }
    ReplaceMathRandom(L);
}

int LuaTraceback(lua_State* L) {
    lua_getglobal(L, "debug");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return 1;
    }
    lua_getfield(L, -1, "traceback");
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 2);
        return 1;
    }
    lua_pushvalue(L, 1);
    lua_pushinteger(L, 2);
    lua_call(L, 2, 1);
    return 1;
}

const char* LuaErrorKind(int status) {
    switch (status) {
        case LUA_YIELD: return "LUA_YIELD error";
        case LUA_ERRRUN: return "Runtime error";
        case LUA_ERRSYNTAX: return "Syntax error during pre-compilation";
        case LUA_ERRMEM: return "Memory allocation error";
        case LUA_ERRERR: return "Error while running the error handler function";
        default: return "Unknown error";
    }
}

void LuaCallProtected(int argumentCount, int resultCount, const char* context, const char* file, int line) {
    const int handler = lua_gettop(g_lua) - argumentCount;
    PushTraceback(g_lua);
    lua_insert(g_lua, handler);
    const int status = lua_pcall(g_lua, argumentCount, resultCount, handler);
    if (status != 0) ReportCallError(g_lua, status, context, file, line);
    lua_remove(g_lua, handler);
}

bool LuaDoFile(const char* path) {
    int32_t size = 0;
    const FileData source = LoadFile(path, &size, true);
    PushTraceback(g_lua);
    const int handler = lua_gettop(g_lua);
    int status = luaL_loadbuffer(g_lua, source.get(), static_cast<std::size_t>(size), path);
    if (status == 0) status = lua_pcall(g_lua, 0, 0, handler);
    if (status != 0)
        VELK_ERROR("LUA ERROR [%d - %s] during loading file: \"%s\"\n%s\n", status, LuaErrorKind(status), path,
                   ErrorMessage(g_lua));
    lua_remove(g_lua, handler);
    return true;
}

void LuaDoString(const char* text) {
    if (luaL_loadbuffer(g_lua, text, std::strlen(text), text) == 0 && lua_pcall(g_lua, 0, 0, 0) == 0) return;
    lua_pop(g_lua, 1);
    VELK_WARNING("LUA ERROR in dostring: \"%s\"", text);
}

int LuaErrorf(lua_State* L, const char* format, ...) {
    char message[1021];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    lua_pushstring(L, message);
    return lua_error(L);
}

void LuaBoot() { CallEntryPoint("boot", "LuaBoot", true); }
void LuaInit() { CallEntryPoint("init", "LuaInit", true); }
void LuaRender() { CallEntryPoint("render", "LuaRender", true); }
void LuaDestroy() { CallEntryPoint("destroy", "LuaDestroy", false); }
void LuaRecreate() { CallEntryPoint("recreate", "LuaRecreate", false); }
void LuaOnLostFocus() { CallEntryPoint("on_lost_focus", "LuaOnLostFocus", false); }
void LuaOnRegainedFocus() { CallEntryPoint("on_regained_focus", "LuaOnRegainedFocus", false); }

void LuaUpdate(float dt) {
    lua_getglobal(g_lua, "update");
    lua_pushnumber(g_lua, dt);
    LuaCallProtected(1, 0, "LuaUpdate", __FILE__, __LINE__);
    CallMusicStopped();
}

bool LuaOnExit() {
    if (!PushEntryPoint("exit", false)) return false;
    LuaCallProtected(0, 0, "LuaOnExit", __FILE__, __LINE__);
    return true;
}

const DeveloperOverlay& GetDeveloperOverlay() { return g_overlay; }

void ApplyDeveloperHotKeys(const KeyTables& keys) {
    if (keys.pressed[kKeyF2] == kKeyPressed) g_overlay.shown = !g_overlay.shown;
    if (keys.down[kKeyShift] != kKeyHeld) return;
    if (keys.pressed[kKeyF8] == kKeyPressed) g_overlay.galleryMode = (g_overlay.galleryMode + 1) % 3;
    if (keys.pressed[kKeyF6] == kKeyPressed) {
        int characters = 0;
        const float seconds = FontBenchmark("common", 18, characters);
        // With TrueText off there is nothing to time, and no rate to report.
        if (seconds > 0) LogPrintf("%s", FontBenchmarkLine(seconds, characters).c_str());
    }
}

bool LuaTableHasValue(lua_State* L, const char* field) {
    const int type = FieldType(L, field);
    return type == LUA_TSTRING || type == LUA_TNUMBER;
}

bool LuaTableIsNumber(lua_State* L, const char* field) {
    if (!PushField(L, field)) return false;
    const bool number = lua_isnumber(L, -1);
    lua_pop(L, 1);
    return number;
}

bool LuaTableIsBoolean(lua_State* L, const char* field) { return FieldType(L, field) == LUA_TBOOLEAN; }

const char* LuaTableGetString(lua_State* L, const char* field) {
    // A number's text is kept here rather than in the state: once popped, the state
    // could collect its converted string before the caller has copied it.
    static char numberText[LUAI_MAXNUMBER2STR];
    if (!PushField(L, field)) return nullptr;
    const char* text = nullptr;
    if (lua_type(L, -1) == LUA_TSTRING) {
        text = lua_tostring(L, -1);
    } else if (lua_type(L, -1) == LUA_TNUMBER) {
        lua_number2str(numberText, lua_tonumber(L, -1));
        text = numberText;
    }
    lua_pop(L, 1);
    return text;
}

double LuaTableGetNumber(lua_State* L, const char* field) {
    if (!PushField(L, field)) return 0;
    const double number = lua_tonumber(L, -1);
    lua_pop(L, 1);
    return number;
}

bool LuaTableGetBool(lua_State* L, const char* field) {
    if (!PushField(L, field)) return false;
    const bool value = lua_type(L, -1) == LUA_TBOOLEAN && lua_toboolean(L, -1);
    lua_pop(L, 1);
    return value;
}

void LuaTableSetString(lua_State* L, const char* field, std::string_view text) {
    lua_pushlstring(L, text.data(), text.size());
    lua_setfield(L, -2, field);
}

void LuaTableSetNumber(lua_State* L, const char* field, lua_Number value) {
    lua_pushnumber(L, value);
    lua_setfield(L, -2, field);
}

void LuaTableSetBool(lua_State* L, const char* field, bool value) {
    lua_pushboolean(L, value);
    lua_setfield(L, -2, field);
}
