#pragma once
// The engine's one Lua state and every call from the engine into the scripts.
// Script errors are fatal: they end the process through LogError, which never
// returns or unwinds, so it is safe to reach from inside Lua's C frames.
#include <lua.hpp>

#include <string_view>

#include "core/log.h"

// The state exists between LuaCreateState and LuaCloseState; null otherwise.
lua_State* LuaGetState();
// Creates the state with Lua's standard allocator and panic handler and opens the libraries.
void LuaCreateState();
// Closes the state (collecting everything the scripts still own) and forgets it.
void LuaCloseState();

// Base, table, string, math and debug; math.random runs on the engine's generator,
// and pcall, xpcall and coroutine.resume close the scene walks an error escaped.
void LuaOpenLibs(lua_State* L);
// Message handler: the message with debug.traceback appended, when that still exists.
int LuaTraceback(lua_State* L);
// Calls the function below the arguments with LuaTraceback as handler. A failing call
// is fatal and never returns.
void LuaCallProtected(int argumentCount, int resultCount, const char* context, const char* file, int line);
// Pushes the C function as one closure made once per state (pushing a C function
// anew makes a new closure each time: garbage on every per-frame call).
void LuaPushSharedFunction(lua_State* L, lua_CFunction function);
// lua_pcall for a caller that goes on after an error: the scene walks the error jumped
// out of are closed (the script's pcall, xpcall and coroutine.resume do the same).
int LuaPcallClosingWalks(lua_State* L, int argumentCount, int resultCount, int handler);
// Runs a script file through the storage; a load or run error is fatal.
bool LuaDoFile(const char* path);
// Runs one line of text; an error is only a warning.
void LuaDoString(const char* text);
// Raises a script error with a formatted message (at most 1020 characters, no position).
// Call it as `return LuaErrorf(...)` with no live C++ objects that need destruction:
// the error jumps straight out of the native function.
int LuaErrorf(lua_State* L, const char* format, ...) VELK_PRINTF(2, 3);

// The text LuaCallProtected reports for an error kind (Lua status code).
const char* LuaErrorKind(int status);

// Entry points into the script's globals.
void LuaBoot();
void LuaInit();
void LuaUpdate(float dt);
void LuaRender();
void LuaDestroy();
void LuaRecreate();
void LuaOnLostFocus();
void LuaOnRegainedFocus();
// True when the script defines `exit` (whatever it returns).
bool LuaOnExit();


struct KeyTables;

// Toggled by the developer hot keys: F2 the statistics overlay, Shift+F8 the font
// gallery (0 off, 1 and 2 its two pages).
struct DeveloperOverlay {
    bool shown = false;
    int galleryMode = 0;
};
const DeveloperOverlay& GetDeveloperOverlay();
// F2 and Shift+F8 pressed this frame change the overlay.
void ApplyDeveloperHotKeys(const KeyTables& keys);

// Definition readers on the table at the top of the stack, which they leave in place.
bool LuaTableHasValue(lua_State* L, const char* field);
bool LuaTableIsNumber(lua_State* L, const char* field);
bool LuaTableIsBoolean(lua_State* L, const char* field);
// Points into the state: copy the text at once.
const char* LuaTableGetString(lua_State* L, const char* field);
double LuaTableGetNumber(lua_State* L, const char* field);
bool LuaTableGetBool(lua_State* L, const char* field);

// Field writers on the table at the top of the stack, which they leave in place.
void LuaTableSetString(lua_State* L, const char* field, std::string_view text);
void LuaTableSetNumber(lua_State* L, const char* field, lua_Number value);
void LuaTableSetBool(lua_State* L, const char* field, bool value);
