// Objects created per second, script memory per object and method calls per second,
// for a GameClass-level object (its 43 closures are what every scene-graph object carries).
#include <chrono>
#include <cstdio>
#include <string>

#include "script/game_class.h"
#include "script/lua_base.h"
#include "script/lua_binder.h"

namespace {

class BenchObject : public GameClass {
public:
    static constexpr const char* kClassName = "BenchObject";
};

double Seconds(lua_State* L, const std::string& code) {
    const auto start = std::chrono::steady_clock::now();
    if (luaL_dostring(L, code.c_str()) != 0) {
        std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double KilobytesInUse(lua_State* L) { return lua_gc(L, LUA_GCCOUNT, 0) + lua_gc(L, LUA_GCCOUNTB, 0) / 1024.0; }

}  // namespace

int main() {
    constexpr int kObjects = 100000;
    LuaCreateState();
    lua_State* L = LuaGetState();
    LuaBinder<BenchObject>::Register(L);
    const std::string count = std::to_string(kObjects);

    lua_gc(L, LUA_GCCOLLECT, 0);
    const double before = KilobytesInUse(L);
    const double kept = Seconds(L, "kept = {} for i = 1, " + count + " do kept[i] = BenchObject() end");
    lua_gc(L, LUA_GCCOLLECT, 0);
    const double perObject = (KilobytesInUse(L) - before) * 1024.0 / kObjects;
    std::printf("create and keep:  %.0f objects/s\n", kObjects / kept);
    std::printf("script memory:    %.0f bytes per object (collectgarbage(\"count\"))\n", perObject);

    const double calls = Seconds(L, "local o = kept[1] for i = 1, 10 * " + count + " do o:set_x(i) end");
    std::printf("method calls:     %.0f set_x calls/s\n", 10.0 * kObjects / calls);

    Seconds(L, "kept = nil");
    lua_gc(L, LUA_GCCOLLECT, 0);
    LuaDeleteDroppedObjects(L);
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < 100; ++frame) {
        Seconds(L, "for i = 1, " + std::to_string(kObjects / 100) + " do local o = BenchObject() end");
        LuaDeleteDroppedObjects(L);
    }
    lua_gc(L, LUA_GCCOLLECT, 0);
    LuaDeleteDroppedObjects(L);
    const double churn = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("create and drop:  %.0f objects/s (collected and deleted)\n", kObjects / churn);
    LuaCloseState();
    return 0;
}
