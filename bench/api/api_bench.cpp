// Costs of the script functions a game calls every frame (key tests, the clock) and of
// saves, which reach the disk before they return (a replace: temporary file, fsync,
// rename, folder fsync; an append: write and fsync).
#include <benchmark/benchmark.h>

#include <string>

#include "core/config.h"
#include "fixtures/engine_frame.h"
#include "fixtures/temp_dir.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"
#include "storage/storage.h"

namespace {

// A script state with the API and a writable folder, for the life of one benchmark.
class ScriptWithStorage {
public:
    ScriptWithStorage() {
        StartEngineFrameTest();
        RegisterLuaApi();
        AddDirectoryStorage(dir_.path().string(), true, false);
    }
    ~ScriptWithStorage() {
        ShutdownStorage();
        EndEngineFrameTest();
    }
    // Compiles the code once as a function and leaves it on the stack.
    void Load(const std::string& code) { luaL_loadstring(LuaGetState(), code.c_str()); }
    void Call() {
        lua_State* L = LuaGetState();
        lua_pushvalue(L, -1);
        lua_call(L, 0, 0);
    }

private:
    TempDir dir_;
};

// 100 calls per pass, so the Lua call overhead of the pass itself stays out of the figure.
void RunHundred(benchmark::State& state, const char* call) {
    ScriptWithStorage script;
    script.Load(std::string("for i = 1, 100 do ") + call + " end");
    for (auto _ : state) script.Call();
    state.SetItemsProcessed(state.iterations() * 100);
}

void BM_KbdDown(benchmark::State& state) { RunHundred(state, "kbd_down('space')"); }
void BM_KbdStruckLetter(benchmark::State& state) { RunHundred(state, "kbd_struck('a')"); }
void BM_TimerTime(benchmark::State& state) { RunHundred(state, "timer_time()"); }

void BM_FileSaveReplace(benchmark::State& state) {
    ScriptWithStorage script;
    script.Load("file_save('saves/slot.sav', string.rep('x', " + std::to_string(state.range(0)) + "))");
    for (auto _ : state) script.Call();
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_LogLine(benchmark::State& state) {
    ScriptWithStorage script;
    script.Load("log('a log line of about forty characters')");
    g_config.create_log = true;
    for (auto _ : state) script.Call();
    g_config.create_log = false;
}

void BM_FileLoad(benchmark::State& state) {
    ScriptWithStorage script;
    script.Load("file_save('saves/slot.sav', string.rep('x', " + std::to_string(state.range(0)) + "))");
    script.Call();
    script.Load("file_load('saves/slot.sav')");
    for (auto _ : state) script.Call();
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_KbdDown);
BENCHMARK(BM_KbdStruckLetter);
BENCHMARK(BM_TimerTime);
BENCHMARK(BM_FileSaveReplace)->Arg(1024)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LogLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FileLoad)->Arg(1024)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);
