#include "script/lua_base.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "audio/music_stopped_notice.h"
#include "core/config.h"
#include "core/input.h"
#include "core/random.h"
#include "graphics/sprite_batch.h"
#include "script/lua_bound.h"
#include "script/lua_heap.h"
#include "script/scene_walk.h"
#include "storage/storage.h"
#include "text/font_benchmark.h"

namespace {

std::optional<LuaHeap> g_heap;  // the memory of g_lua, which it outlives
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

// An error outside any protected call, reported as the auxiliary library's own state does.
int Panic(lua_State* L) {
    std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", lua_tostring(L, -1));
    return 0;
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

// The script's pcall and xpcall: the base library's, except that a scene walk the error
// jumped out of is closed where it lands.
int ProtectedCall(lua_State* L) {
    luaL_checkany(L, 1);
    const int status = LuaPcallClosingWalks(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    lua_pushboolean(L, status == 0);
    lua_insert(L, 1);
    return lua_gettop(L);
}

int ProtectedCallWithHandler(lua_State* L) {
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    lua_insert(L, 1);  // handler, function
    const int status = LuaPcallClosingWalks(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

// coroutine.resume over the library's own (upvalue 1): an error ends the coroutine
// there, and a walk cannot stay open across a yield, so whatever was opened since is
// closed.
int ResumeClosingWalks(lua_State* L) {
    const std::size_t mark = OpenWalk::count();
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    OpenWalk::closeAbove(mark);
    return lua_gettop(L);
}

void ReplaceErrorLandings(lua_State* L) {
    lua_register(L, "pcall", ProtectedCall);
    lua_register(L, "xpcall", ProtectedCallWithHandler);
    lua_getglobal(L, "coroutine");
    lua_getfield(L, -1, "resume");
    lua_pushcclosure(L, ResumeClosingWalks, 1);
    lua_setfield(L, -2, "resume");
    lua_pop(L, 1);
}

// Called with an entry point's name and its arguments: looks the global up and calls it.
// The lookup can run a script's metamethods on _G, so it belongs inside the protected call.
int CallNamedGlobal(lua_State* L) {
    lua_pushvalue(L, 1);
    lua_gettable(L, LUA_GLOBALSINDEX);
    lua_replace(L, 1);
    lua_call(L, lua_gettop(L) - 1, 0);
    return 0;
}

// Pushes what calls the entry point and returns how many arguments that takes before the
// entry point's own; -1 when nothing is to run. An optional entry point is looked up raw
// (an absent one is skipped, whatever _G's metatable says); a required one is looked up
// inside the call. Without a state (start-up ended early, or a window rebuilt before
// scripts) nothing runs.
int PushEntryPoint(const char* name, bool required) {
    if (!g_lua) return -1;
    if (required) {
        LuaPushSharedFunction(g_lua, CallNamedGlobal);
        lua_pushstring(g_lua, name);
        return 1;
    }
    lua_pushstring(g_lua, name);
    lua_rawget(g_lua, LUA_GLOBALSINDEX);
    if (!lua_isnil(g_lua, -1)) return 0;
    lua_pop(g_lua, 1);
    return -1;
}

bool CallEntryPoint(const char* name, const char* context, bool required) {
    const int extra = PushEntryPoint(name, required);
    if (extra < 0) return false;
    LuaCallProtected(extra, 0, context, __FILE__, __LINE__);
    return true;
}

void CallMusicStopped() {
    std::string name;
    if (!TakeMusicStoppedNotice(name)) return;
    const int extra = PushEntryPoint("music_stopped", false);
    if (extra < 0) return;
    lua_pushlstring(g_lua, name.data(), name.size());
    LuaCallProtected(extra + 1, 0, "LuaUpdate", __FILE__, __LINE__);
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
    g_heap.emplace();
    g_lua = lua_newstate(LuaHeap::Reallocate, &*g_heap);
    if (!g_lua) VELK_ERROR("Couldn't create the script state");
    lua_atpanic(g_lua, Panic);
    LuaOpenLibs(g_lua);
    lua_pushcfunction(g_lua, LuaTraceback);
    g_tracebackRef = luaL_ref(g_lua, LUA_REGISTRYINDEX);
}

void LuaCloseState() {
    if (!g_lua) return;
    LuaCloseObjectsAndState(g_lua);
    g_lua = nullptr;
    g_heap.reset();
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
    ReplaceErrorLandings(L);
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

namespace {

// Pushes the function registered under its own address; false (nothing pushed) when none is.
bool PushRegisteredFunction(lua_State* L, lua_CFunction function) {
    lua_pushlightuserdata(L, reinterpret_cast<void*>(function));
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (!lua_isnil(L, -1)) return true;
    lua_pop(L, 1);
    return false;
}

// Under lua_cpcall, with a pointer to the function as its light userdata.
int RegisterSharedFunction(lua_State* L) {
    const lua_CFunction function = *static_cast<const lua_CFunction*>(lua_touserdata(L, 1));
    lua_pushlightuserdata(L, reinterpret_cast<void*>(function));
    lua_pushcfunction(L, function);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return 0;
}

}  // namespace

// The closure is made inside a protected call: the caller may be deleting an object,
// which an error jumping out of it would leave half done and never freed. Memory that
// runs out here is as fatal as in the call the function is for.
void LuaPushSharedFunction(lua_State* L, lua_CFunction function) {
    if (PushRegisteredFunction(L, function)) return;
    const int status = lua_cpcall(L, RegisterSharedFunction, &function);
    if (status != 0) ReportCallError(L, status, "LuaPushSharedFunction", __FILE__, __LINE__);
    PushRegisteredFunction(L, function);
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
    if (luaL_loadbuffer(g_lua, text, std::strlen(text), text) == 0 && LuaPcallClosingWalks(g_lua, 0, 0, 0) == 0)
        return;
    lua_pop(g_lua, 1);
    VELK_WARNING("LUA ERROR in dostring: \"%s\"", text);
}

int LuaPcallClosingWalks(lua_State* L, int argumentCount, int resultCount, int handler) {
    const std::size_t mark = OpenWalk::count();
    const int status = lua_pcall(L, argumentCount, resultCount, handler);
    OpenWalk::closeAbove(mark);
    return status;
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
    const int extra = PushEntryPoint("update", true);
    if (extra < 0) return;
    lua_pushnumber(g_lua, dt);
    LuaCallProtected(extra + 1, 0, "LuaUpdate", __FILE__, __LINE__);
    CallMusicStopped();
}

bool LuaOnExit() { return CallEntryPoint("exit", "LuaOnExit", false); }

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

// Raw: the engine writes its own tables, and a metatable a script gave one of them must
// not run (an error there would have no protected call to land in).
void LuaTableSetString(lua_State* L, const char* field, std::string_view text) {
    lua_pushstring(L, field);
    lua_pushlstring(L, text.data(), text.size());
    lua_rawset(L, -3);
}

void LuaTableSetNumber(lua_State* L, const char* field, lua_Number value) {
    lua_pushstring(L, field);
    lua_pushnumber(L, value);
    lua_rawset(L, -3);
}

void LuaTableSetBool(lua_State* L, const char* field, bool value) {
    lua_pushstring(L, field);
    lua_pushboolean(L, value);
    lua_rawset(L, -3);
}
