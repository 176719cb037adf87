#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "app/velk_main.h"
#include "core/config.h"
#include "fixtures/script_text.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "platform/linux/window.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"

namespace {

class FullScreenApiTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        InitRenderGlobals();
        ApplyRenderConfig();
        g_engine = EngineState{};
        LuaCreateState();
        RegisterLuaApi();
    }
    void TearDown() override {
        LuaCloseState();
        if (GetAppWindow()) CloseRenderer();
        CloseAppWindow();
        g_engine = EngineState{};
        InitConfigDefaults();
    }
    // The results joined by spaces: "" when there are none.
    std::string Eval(const std::string& expression) { return EvalScriptValues(LuaGetState(), expression); }
};

TEST_F(FullScreenApiTest, BeforeTheWindowExistsTheSettingChangesAtOnce) {
    EXPECT_EQ(Eval("gfx_full_screen()"), "false");
    EXPECT_EQ(Eval("gfx_full_screen(true)"), "");
    EXPECT_TRUE(g_config.full_screen) << "the window is created from the configuration";
    EXPECT_EQ(Eval("gfx_full_screen(1)"), "true") << "only a boolean asks for a change";
    EXPECT_FALSE(g_engine.full_screen_toggle_requested);
}

TEST_F(FullScreenApiTest, WithAWindowTheNextFrameSwitches) {
    CreateMainWindow();
    ASSERT_NE(GetAppWindow(), nullptr);
    EXPECT_EQ(Eval("gfx_full_screen(false)"), "");
    EXPECT_FALSE(g_engine.full_screen_toggle_requested) << "already windowed";
    EXPECT_EQ(Eval("gfx_full_screen(true)"), "");
    EXPECT_TRUE(g_engine.full_screen_toggle_requested);
    EXPECT_EQ(Eval("gfx_full_screen()"), "false") << "not before the next frame";
    RecreateIfNeeded();
    EXPECT_EQ(Eval("gfx_full_screen()"), "true");
    EXPECT_TRUE(SDL_GetWindowFlags(GetAppWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP);
}

}  // namespace
