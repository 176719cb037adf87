#include "script/lua_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "audio/music_stopped_notice.h"
#include "core/config.h"
#include "core/crash.h"
#include "core/random.h"
#include "fixtures/temp_dir.h"
#include "storage/storage.h"

namespace {

class ScriptState : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        g_config.create_log = true;  // fatal texts reach stderr only with the log on
        LuaCreateState();
        L = LuaGetState();
    }
    void TearDown() override { LuaCloseState(); }

    void Run(const std::string& code) { ASSERT_EQ(luaL_dostring(L, code.c_str()), 0) << lua_tostring(L, -1); }
    std::string GlobalString(const char* name) {
        lua_getglobal(L, name);
        std::string text = lua_isstring(L, -1) ? lua_tostring(L, -1) : "<not a string>";
        lua_pop(L, 1);
        return text;
    }

    lua_State* L = nullptr;
};

using ScriptStateDeathTest = ScriptState;

TEST_F(ScriptState, OpensOnlyTheAllowedLibraries) {
    Run("result = table.concat({type(string), type(math), type(debug), type(table), type(print)}, ' ')"
        " .. ' ' .. type(io) .. ' ' .. type(os) .. ' ' .. type(package) .. ' ' .. type(require)");
    EXPECT_EQ(GlobalString("result"), "table table table table function nil nil nil nil");
}

TEST_F(ScriptStateDeathTest, UpdateErrorIsFatalWithContextAndTraceback) {
    Run("function update(dt) error('boom ' .. dt) end");
    EXPECT_EXIT(LuaUpdate(0.5f), testing::ExitedWithCode(kExitFatal),
                "LUA ERROR \\[2 - Runtime error\\],  \\[C source\\]: LuaUpdate <[^>]*lua_base\\.cpp:[0-9]+>\n"
                "[^\n]*boom 0\\.5\nstack traceback:");
}

TEST_F(ScriptStateDeathTest, ErrorMessagesByKindOfErrorObject) {
    Run("function update() error({}) end");
    EXPECT_EXIT(LuaUpdate(0), testing::ExitedWithCode(kExitFatal), "\n\\(error with no message\\)\n");
    Run("function update() error(42, 0) end");
    EXPECT_EXIT(LuaUpdate(0), testing::ExitedWithCode(kExitFatal), "LuaUpdate <[^\n]*\n42\nstack traceback");
}

TEST_F(ScriptStateDeathTest, WithoutDebugTracebackTheErrorIsStillFatal) {
    Run("debug.traceback = nil function render() error('plain', 0) end");
    EXPECT_EXIT(LuaRender(), testing::ExitedWithCode(kExitFatal), "LuaRender <[^\n]*>\nplain\n$");
    Run("debug = 7");
    EXPECT_EXIT(LuaRender(), testing::ExitedWithCode(kExitFatal), "LuaRender <[^\n]*>\nplain\n$");
}

TEST_F(ScriptStateDeathTest, MissingRequiredEntryPointIsFatal) {
    EXPECT_EXIT(LuaBoot(), testing::ExitedWithCode(kExitFatal), "LuaBoot <.*attempt to call a nil value");
    EXPECT_EXIT(LuaInit(), testing::ExitedWithCode(kExitFatal), "LuaInit <.*attempt to call a nil value");
}

TEST_F(ScriptStateDeathTest, CallWithoutContextOrFileUsesTheShortText) {
    Run("function f() error('short', 0) end");
    lua_getglobal(L, "f");
    EXPECT_EXIT(LuaCallProtected(0, 0, nullptr, nullptr, 0), testing::ExitedWithCode(kExitFatal),
                "LUA ERROR \\[2\\] = Runtime error\nshort");
    EXPECT_EXIT(LuaCallProtected(0, 0, "Ctx", nullptr, 9), testing::ExitedWithCode(kExitFatal),
                "\\[C source\\]: Ctx <\\?:9>\nshort");
}

TEST_F(ScriptState, ProtectedCallKeepsResultsAndRemovesTheHandler) {
    Run("function pair(a, b) return b, a end");
    lua_pushinteger(L, 99);  // something the call must not disturb
    lua_getglobal(L, "pair");
    lua_pushinteger(L, 1);
    lua_pushinteger(L, 2);
    LuaCallProtected(2, 2, "Test", __FILE__, __LINE__);
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(lua_tointeger(L, 1), 99);
    EXPECT_EQ(lua_tointeger(L, 2), 2);
    EXPECT_EQ(lua_tointeger(L, 3), 1);
}

TEST_F(ScriptState, OptionalEntryPointsMissingLeaveTheStackAlone) {
    lua_pushstring(L, "sentinel");
    for (int i = 0; i < 1000; ++i) {
        LuaOnLostFocus();
        LuaOnRegainedFocus();
        LuaRecreate();
        LuaDestroy();
    }
    EXPECT_FALSE(LuaOnExit());
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(ScriptState, EntryPointsReachTheirGlobals) {
    Run("calls = '' "
        "for _, name in ipairs({'boot', 'init', 'render', 'destroy', 'recreate', 'on_lost_focus', "
        "'on_regained_focus'}) do _G[name] = function(...) calls = calls .. name .. select('#', ...) .. ' ' end end "
        "function update(dt) calls = calls .. 'update' .. dt .. ' ' end "
        "function exit() calls = calls .. 'exit' return false end");
    LuaBoot();
    LuaInit();
    LuaUpdate(0.25f);
    LuaRender();
    LuaRecreate();
    LuaOnLostFocus();
    LuaOnRegainedFocus();
    LuaDestroy();
    EXPECT_TRUE(LuaOnExit()) << "exit returning false still counts as handled";
    EXPECT_EQ(GlobalString("calls"),
              "boot0 init0 update0.25 render0 recreate0 on_lost_focus0 on_regained_focus0 destroy0 exit");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptState, MusicStoppedIsCalledOnceWithTheName) {
    Run("heard = '' function update() end function music_stopped(name) heard = heard .. name .. ';' end");
    {
        const std::lock_guard lock(SoundMutex);
        g_musicStoppedNotice.name = "theme";
        g_musicStoppedNotice.stopped = true;
    }
    LuaUpdate(0.1f);
    LuaUpdate(0.1f);
    EXPECT_EQ(GlobalString("heard"), "theme;");
    EXPECT_FALSE(g_musicStoppedNotice.stopped);

    Run("music_stopped = nil");  // a notice without a handler is taken and dropped
    g_musicStoppedNotice.stopped = true;
    LuaUpdate(0.1f);
    EXPECT_FALSE(g_musicStoppedNotice.stopped);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptState, DoStringErrorIsOnlyAWarning) {
    testing::internal::CaptureStderr();
    LuaDoString("x = = 1");
    LuaDoString("error('at run time')");
    LuaDoString("y = 5");
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("LUA ERROR in dostring: \"x = = 1\""), std::string::npos) << output;
    EXPECT_NE(output.find("LUA ERROR in dostring: \"error('at run time')\""), std::string::npos) << output;
    EXPECT_EQ(output.find(":1: at run time"), std::string::npos) << "the error message itself is not shown";
    EXPECT_EQ(GlobalString("y"), "5");
    EXPECT_EQ(lua_gettop(L), 0);
}

// No temporary may live across LuaErrorf: the error jumps over its destructor.
int RaiseLong(lua_State* L) {
    static const std::string text(2000, 'x');
    return LuaErrorf(L, "%s:%d", text.c_str(), 7);
}
int RaiseShort(lua_State* L) { return LuaErrorf(L, "Can't find file %s!", "a.txt"); }

TEST_F(ScriptState, ErrorfRaisesWithoutPositionAndWithinTheLimit) {
    lua_register(L, "raise_long", RaiseLong);
    lua_register(L, "raise_short", RaiseShort);
    Run("local ok, e = pcall(raise_short) short = e "
        "ok, e = pcall(raise_long) long_len = #e");
    EXPECT_EQ(GlobalString("short"), "Can't find file a.txt!");
    EXPECT_EQ(GlobalString("long_len"), "1020");
}

// Scripts come through storage: a "data" folder mounted as the only container.
class ScriptFileDeathTest : public ScriptState {
protected:
    void SetUp() override {
        ScriptState::SetUp();
        std::filesystem::create_directories(dir_ / "data");
        ASSERT_TRUE(AddDirectoryStorage((dir_ / "data").string(), false, false));
    }
    void TearDown() override {
        ShutdownStorage();
        ScriptState::TearDown();
    }
    TempDir dir_;
};

TEST_F(ScriptFileDeathTest, RunsTheFileAndLeavesTheStack) {
    dir_.Write("data/init.lua", "loaded = 'yes' return 1, 2, 3");
    EXPECT_TRUE(LuaDoFile("init.lua"));
    EXPECT_EQ(GlobalString("loaded"), "yes");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptFileDeathTest, SyntaxAndRunErrorsAreFatalWithTheLoadingText) {
    dir_.Write("data/init.lua", "x = = 1");
    EXPECT_EXIT(LuaDoFile("init.lua"), testing::ExitedWithCode(kExitFatal),
                "LUA ERROR \\[3 - Syntax error during pre-compilation\\] during loading file: "
                "\"init.lua\"\n\\[string \"init.lua\"\\]:1:");
    dir_.Write("data/init.lua", "\nerror('bad start')");
    EXPECT_EXIT(LuaDoFile("init.lua"), testing::ExitedWithCode(kExitFatal),
                "LUA ERROR \\[2 - Runtime error\\] during loading file: \"init.lua\"\n"
                "\\[string \"init.lua\"\\]:2: bad start\nstack traceback:");
    EXPECT_EXIT(LuaDoFile("missing.lua"), testing::ExitedWithCode(kExitFatal),
                "Storage: LoadFile - file not found: missing\\.lua");
}

// Each row: the field's Lua value, then what every reader says about it.
struct ReaderCase {
    const char* value;
    bool hasValue, isNumber, isBoolean;
    const char* text;
    double number;
    bool boolean;
};

void PrintTo(const ReaderCase& row, std::ostream* out) { *out << row.value; }

class DefinitionReaders : public ScriptState, public testing::WithParamInterface<ReaderCase> {};

TEST_P(DefinitionReaders, ReadTheFieldOfTheTopTable) {
    const ReaderCase& row = GetParam();
    Run(std::string("def = { f = ") + row.value + " }");
    lua_getglobal(L, "def");
    EXPECT_EQ(LuaTableHasValue(L, "f"), row.hasValue);
    EXPECT_EQ(LuaTableIsNumber(L, "f"), row.isNumber);
    EXPECT_EQ(LuaTableIsBoolean(L, "f"), row.isBoolean);
    const char* text = LuaTableGetString(L, "f");
    if (row.text) {
        ASSERT_NE(text, nullptr);
        EXPECT_STREQ(text, row.text);
    } else {
        EXPECT_EQ(text, nullptr);
    }
    EXPECT_DOUBLE_EQ(LuaTableGetNumber(L, "f"), row.number);
    EXPECT_EQ(LuaTableGetBool(L, "f"), row.boolean);
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_TRUE(lua_istable(L, 1));
}

INSTANTIATE_TEST_SUITE_P(Values, DefinitionReaders,
                         testing::Values(ReaderCase{"3", true, true, false, "3", 3, false},
                                         ReaderCase{"-0.125", true, true, false, "-0.125", -0.125, false},
                                         ReaderCase{"'2.5'", true, true, false, "2.5", 2.5, false},
                                         ReaderCase{"'abc'", true, false, false, "abc", 0, false},
                                         ReaderCase{"'true'", true, false, false, "true", 0, false},
                                         ReaderCase{"true", false, false, true, nullptr, 0, true},
                                         ReaderCase{"false", false, false, true, nullptr, 0, false},
                                         ReaderCase{"{}", false, false, false, nullptr, 0, false},
                                         ReaderCase{"nil", false, false, false, nullptr, 0, false}));

TEST_F(ScriptState, ReadersOnANonTableGiveNothing) {
    lua_pushnumber(L, 4);
    EXPECT_FALSE(LuaTableHasValue(L, "f"));
    EXPECT_FALSE(LuaTableIsNumber(L, "f"));
    EXPECT_FALSE(LuaTableIsBoolean(L, "f"));
    EXPECT_EQ(LuaTableGetString(L, "f"), nullptr);
    EXPECT_EQ(LuaTableGetNumber(L, "f"), 0);
    EXPECT_FALSE(LuaTableGetBool(L, "f"));
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(ScriptState, NumberTextSurvivesACollection) {
    Run("def = { f = 12345.5 }");
    lua_getglobal(L, "def");
    const char* text = LuaTableGetString(L, "f");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_STREQ(text, "12345.5");
}

TEST_F(ScriptState, MathRandomRunsOnTheWindowsSequence) {
    Run("math.randomseed(1) a = math.random(1000) b = math.random(10, 20) c = math.random()");
    SeedRandom(1);
    const auto fraction = [] { return static_cast<double>(RandomNumber() % kRandMax) / kRandMax; };
    EXPECT_EQ(GlobalString("a"), std::to_string(static_cast<int>(std::floor(fraction() * 1000)) + 1));
    EXPECT_EQ(GlobalString("b"), std::to_string(static_cast<int>(std::floor(fraction() * 11)) + 10));
    lua_getglobal(L, "c");
    EXPECT_DOUBLE_EQ(lua_tonumber(L, -1), fraction());
    lua_pop(L, 1);
    Run("ok1, e1 = pcall(math.random, 0) ok2, e2 = pcall(math.random, 5, 4) ok3, e3 = pcall(math.random, 1, 2, 3)");
    EXPECT_NE(GlobalString("e1").find("interval is empty"), std::string::npos);
    EXPECT_NE(GlobalString("e2").find("interval is empty"), std::string::npos);
    EXPECT_NE(GlobalString("e3").find("wrong number of arguments"), std::string::npos);
}

TEST(Random, MatchesTheWindowsRuntime) {
    SeedRandom(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (const int value : expected) EXPECT_EQ(RandomNumber(), value);
    SeedRandom(12345);
    for (int i = 0; i < 10000; ++i) {
        const int value = RandomNumber();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, kRandMax);
    }
}

TEST(NoScriptState, ShutdownCallsAreSkipped) {
    LuaCloseState();
    LuaDestroy();
    EXPECT_FALSE(LuaOnExit());
    EXPECT_EQ(LuaGetState(), nullptr);
}

}  // namespace
