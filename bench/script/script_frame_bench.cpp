// The script side of every frame: the mouse and touchpad refresh, the calls of update
// and render, a protected call, and the definition readers scene-graph setup leans on.
#include <benchmark/benchmark.h>

#include "core/config.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"

namespace {

class ScriptGame {
public:
    explicit ScriptGame(const char* code) {
        InitConfigDefaults();
        LuaCreateState();
        RegisterLuaApi();
        luaL_dostring(LuaGetState(), code);
    }
    ~ScriptGame() { LuaCloseState(); }
    ScriptGame(const ScriptGame&) = delete;
    ScriptGame& operator=(const ScriptGame&) = delete;
};

constexpr const char* kEmptyGame = "function update(dt) end function render() end";

void EmptyScriptFrame(benchmark::State& state) {
    const ScriptGame game(kEmptyGame);
    for (auto _ : state) {
        UpdateScriptFrame(0.016f);
        RenderScriptFrame();
    }
}
BENCHMARK(EmptyScriptFrame);

void MouseTablesRefresh(benchmark::State& state) {
    const ScriptGame game(kEmptyGame);
    for (auto _ : state) UpdateMouseTables();
}
BENCHMARK(MouseTablesRefresh);

void ProtectedCall(benchmark::State& state) {
    const ScriptGame game("function f(a, b) return a + b end");
    lua_State* L = LuaGetState();
    for (auto _ : state) {
        lua_getglobal(L, "f");
        lua_pushnumber(L, 1);
        lua_pushnumber(L, 2);
        LuaCallProtected(2, 1, "Bench", __FILE__, __LINE__);
        lua_pop(L, 1);
    }
}
BENCHMARK(ProtectedCall);

void DefinitionReaders(benchmark::State& state) {
    const ScriptGame game("def = { x = 10, y = '20', id = 'ok', visible = true, alpha = 0.5 }");
    lua_State* L = LuaGetState();
    lua_getglobal(L, "def");
    for (auto _ : state) {
        benchmark::DoNotOptimize(LuaTableGetNumber(L, "x"));
        benchmark::DoNotOptimize(LuaTableGetNumber(L, "y"));
        benchmark::DoNotOptimize(LuaTableGetString(L, "id"));
        benchmark::DoNotOptimize(LuaTableGetBool(L, "visible"));
        benchmark::DoNotOptimize(LuaTableIsNumber(L, "alpha"));
        benchmark::DoNotOptimize(LuaTableHasValue(L, "missing"));
    }
    lua_pop(L, 1);
}
BENCHMARK(DefinitionReaders);

}  // namespace
