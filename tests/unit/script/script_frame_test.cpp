// The script inside the engine's frame: the API globals, the entry points the frame
// calls and when, and the developer hot keys.
#include <gtest/gtest.h>

#include <string>

#include "app/velk_main.h"
#include "core/config.h"
#include "core/input.h"
#include "fixtures/engine_frame.h"
#include "fixtures/fake_clock.h"
#include "graphics/render.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"

namespace {

class ScriptFrame : public testing::Test {
protected:
    FakeFrameTimer timer{1000};

    void SetUp() override {
        StartEngineFrameTest();
        L = LuaGetState();
    }
    void TearDown() override { EndEngineFrameTest(); }

    // Registers the API, then runs the game's code.
    void Start(const std::string& code) {
        RegisterLuaApi();
        ASSERT_EQ(luaL_dostring(L, code.c_str()), 0) << lua_tostring(L, -1);
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            FakeClock::now += 16;
            MainFrame();
        }
    }
    std::string Eval(const std::string& expression) {
        const std::string code = "return tostring(" + expression + ")";
        const bool ok = luaL_dostring(L, code.c_str()) == 0;
        std::string text = ok ? lua_tostring(L, -1) : "error: " + std::string(lua_tostring(L, -1));
        lua_pop(L, 1);
        return text;
    }
    void Key(int code, bool down) {
        QueueInputEvent(down ? kInputKeyDown : kInputKeyUp, code, 0, 0, false);
    }

    lua_State* L = nullptr;
};

constexpr const char* kRecorder =
    "calls = '' local function note(s) calls = calls .. s .. ' ' end "
    "function update(dt) note('update') end function render() note('render') end "
    "function on_lost_focus() note('lost') end function on_regained_focus() note('regained') end ";

TEST_F(ScriptFrame, FocusCallbacksRunOnceAroundTheFrames) {
    Start(kRecorder);
    Frames(3);
    g_app.minimised = true;
    Frames(3);  // unfocused: redraws only
    g_app.minimised = false;
    Frames(1);
    EXPECT_EQ(Eval("calls"),
              "regained update render update render lost render render render regained ");
}

TEST_F(ScriptFrame, ScriptReplacingTheRefreshedTablesIsLeftAlone) {
    Start("function update() end function render() end");
    g_input.mouse.x = 10.5f;
    g_input.mouse.y = 3.49f;
    g_input.mouse.left.click = true;
    UpdateMouseTables();
    EXPECT_EQ(Eval("mouse.x .. ',' .. mouse.y .. ',' .. tostring(mouse.left_click) .. ',' .. tostring(mouse.over_window)"),
              "11,3,true,true");
    EXPECT_EQ(Eval("touchpad.is_pinching"), "false");
    EXPECT_EQ(Eval("touchpad.pinch_x1"), "nil");

    ASSERT_EQ(luaL_dostring(L, "mouse = 5 touchpad = 'pad' velk = 'v'"), 0);
    Frames(3);  // the first pass regains focus, the next two run the script's frame
    EXPECT_EQ(Eval("mouse .. touchpad .. velk"), "5padv");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptFrame, StatisticsAppearAfterTheFirstRender) {
    Start("seen = '' local function note() seen = seen .. type(velk.allocated_textures_count) .. ' ' end "
          "function boot() note() end function init() note() end function update() note() end "
          "function render() note() end");
    LuaBoot();
    LuaInit();
    Frames(3);  // the first pass only regains focus
    EXPECT_EQ(Eval("seen"), "nil nil nil nil number number ");

    g_renderer.statistics.texturesAllocated = 3;
    g_renderer.statistics.textureBytes = 3 * 1048576 / 2;
    g_renderer.statistics.pixelsDrawn = 1048576 / 4;
    g_renderer.statistics.trianglesDrawn = 12;
    g_renderer.statistics.drawCalls = 2;
    UpdateEngineStats();
    EXPECT_EQ(Eval("velk.allocated_textures_count .. ' ' .. velk.allocated_textures_size .. ' ' .. "
                   "velk.drawn_polys_count .. ' ' .. velk.drawn_polys_size .. ' ' .. velk.drawn_call_count"),
              "3 1.5 12 0.25 2");
    g_renderer.statistics = DrawStatistics{};
}

TEST_F(ScriptFrame, PinchFieldsAreWrittenOnlyWhilePinching) {
    Start("function update() end function render() end");
    g_input.touch.pinching = true;
    g_input.touch.pinch_current = {1.25f, 2, 3, 4};
    g_input.touch.pinch_start = {5, 6, 7, 8};
    UpdateMouseTables();
    g_input.touch.pinching = false;
    g_input.touch.pinch_current = {9, 9, 9, 9};
    UpdateMouseTables();
    EXPECT_EQ(Eval("touchpad.pinch_x1 .. ',' .. touchpad.pinch_y2 .. ',' .. touchpad.pinch_start_x2"), "1.25,4,7");
    EXPECT_EQ(Eval("touchpad.is_pinching"), "false");
}

TEST_F(ScriptFrame, RegistrationSetsTheEngineGlobals) {
    g_config.dev_mode = true;
    g_config.version_number = 12;
    g_config.version_date = "2026-12-10";
    g_config.language = "de";
    g_config.product_name = "Game";
    g_config.product_code = "gm";
    Start("");
    EXPECT_EQ(Eval("velk.build_version .. ' ' .. velk.build_date .. ' ' .. velk.app_build .. ' ' .. velk.app_date"),
              "3.X Jul 18 2013 12 2026-12-10");
    EXPECT_EQ(Eval("velk.platform .. ' ' .. velk.project_code .. ' ' .. velk.language .. ' ' .. velk.app_name"),
              "win32 gm de Game");
    EXPECT_EQ(Eval("velk.retina_display"), "false");
    EXPECT_EQ(Eval("dev_mode"), "true");
    EXPECT_EQ(Eval("type(mouse) .. type(touchpad) .. type(log) .. type(sys_exit)"), "tabletablefunctionfunction");
}

TEST_F(ScriptFrame, SysExitEndsTheFrameBeforeRendering) {
    Start(kRecorder + std::string("function update() note('update') sys_exit() end"));
    Frames(2);
    EXPECT_TRUE(g_app.quit_requested);
    EXPECT_EQ(Eval("calls"), "regained update ");
}

TEST_F(ScriptFrame, LogWritesItsTextAsItStands) {
    g_config.create_log = true;
    Start("");
    testing::internal::CaptureStderr();
    ASSERT_EQ(luaL_dostring(L, "log('50% %s %d') log(7) log() log({}) log(nil) log('end')"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "50% %s %d\n7\nend\n");
}

TEST_F(ScriptFrame, ExitReturningFalseKeepsTheWindowOpen) {
    g_config.confirm_exit = true;
    g_app.close_origin = 2;
    Start("function exit() return false end");
    EXPECT_FALSE(CloseRequestQuits());
    ASSERT_EQ(luaL_dostring(L, "exit = nil"), 0);
    EXPECT_TRUE(CloseRequestQuits());
}

TEST_F(ScriptFrame, DeveloperHotKeysOnlyInDevModeAndOnFirstPress) {
    constexpr int kShift = 0x10, kF2 = 0x71, kF8 = 0x77;
    Start("function update() end function render() end");
    Frames(1);  // the first pass only regains focus
    const auto press = [this](int code) {
        Key(code, true);
        Frames(1);
        QueueInputEvent(kInputKeyDown, code, 0, 0, true);  // auto-repeat does not count
        Frames(1);
        Key(code, false);
        Frames(1);
    };
    const DeveloperOverlay before = GetDeveloperOverlay();
    press(kF2);
    EXPECT_EQ(GetDeveloperOverlay().shown, before.shown) << "not in dev_mode";

    g_config.dev_mode = true;
    press(kF2);
    EXPECT_EQ(GetDeveloperOverlay().shown, !before.shown);
    press(kF8);
    EXPECT_EQ(GetDeveloperOverlay().galleryMode, before.galleryMode) << "F8 without Shift";
    Key(kShift, true);
    for (int count = 1; count <= 3; ++count) {
        press(kF8);
        EXPECT_EQ(GetDeveloperOverlay().galleryMode, (before.galleryMode + count) % 3);
    }
}

}  // namespace
