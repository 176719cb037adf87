// Script metatables that raise on the engine's tables, on _G and on object tables: the
// engine writes its own tables raw, looks optional entry points up raw, and every other
// lookup that can reach script code runs inside a protected call, so what remains is an
// ordinary fatal script error, never a panic or an error that escapes a scene walk.
#include "scene_fixture.h"

namespace {

using RaisingMetatables = ScriptedSceneTest;

constexpr const char* kRaising = "{__index = function(_, k) error('read ' .. tostring(k), 2) end,"
                                 " __newindex = function(_, k) error('written ' .. tostring(k), 2) end}";

TEST_F(RaisingMetatables, EngineTablesAreWrittenRaw) {
    g_input.mouse.x = 12;
    g_input.touch.double_tap = true;
    for (const char* table : {"mouse", "touchpad", "velk"}) Run(std::string("setmetatable(") + table + ", " + kRaising + ")");
    UpdateMouseTables();
    UpdateEngineStats();
    EXPECT_EQ(Text("rawget(mouse, 'x')"), "12");
    EXPECT_EQ(Text("tostring(rawget(touchpad, 'was_double_tap'))"), "true");
    EXPECT_EQ(Text("type(rawget(velk, 'drawn_call_count'))"), "number");
}

TEST_F(RaisingMetatables, AStrictGlobalTableSkipsAbsentOptionalEntryPoints) {
    Run("rawset(_G, 'mouse', nil)");
    Run(std::string("setmetatable(_G, ") + kRaising + ")");
    LuaOnLostFocus();
    LuaOnRegainedFocus();
    LuaRecreate();
    EXPECT_FALSE(LuaOnExit());
    LuaDestroy();
    UpdateMouseTables();
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(RaisingMetatables, AStrictGlobalTableStillFindsPresentEntryPoints) {
    Run("function on_lost_focus() rawset(_G, 'lost', true) end function update(dt) rawset(_G, 'dt', dt) end");
    Run(std::string("setmetatable(_G, ") + kRaising + ")");
    LuaOnLostFocus();
    LuaUpdate(0.25f);
    Run("setmetatable(_G, nil)");
    EXPECT_EQ(Text("tostring(rawget(_G, 'lost')) .. ' ' .. rawget(_G, 'dt')"), "true 0.25");
}

using RaisingMetatablesDeathTest = RaisingMetatables;

TEST_F(RaisingMetatablesDeathTest, AMissingRequiredEntryPointIsAFatalScriptError) {
    Run(std::string("setmetatable(_G, ") + kRaising + ")");
    EXPECT_EXIT(LuaUpdate(0.1f), testing::ExitedWithCode(3), "read update");
}

// The scheduled function's lookup raises inside the walk: a fatal script error, where it
// used to jump out of the walk into the script's pcall and leave the walk open for good.
TEST_F(RaisingMetatablesDeathTest, ALookupInsideASceneWalkIsAFatalScriptError) {
    Run("layer = make_layer(scene, 'l')\n"
        "object = make_object(layer, 'o', 0, 0, 10, 10)\n"
        "object:schedule_call('missing', 0.01)\n"
        "setmetatable(object, " + std::string(kRaising) + ")");
    EXPECT_EXIT(
        {
            Run("ok = pcall(scene.update, scene, 1)");
            std::fprintf(stderr, "escaped, walk open: %d\n", SceneWalk::active());
            std::exit(0);
        },
        testing::ExitedWithCode(3), "read missing");
}

}  // namespace
