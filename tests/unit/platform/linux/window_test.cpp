#include "platform/linux/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "app/velk_main.h"
#include "core/config.h"
#include "core/input.h"
#include "fixtures/engine_frame.h"
#include "script/lua_base.h"

namespace {

TEST(WindowSize, Rules) {
    const WindowSize screen{1920, 1080};
    const struct {
        bool fullScreen;
        int windowWidth, windowHeight;
        int width, height;
    } cases[] = {
        {false, 0, 0, 1024, 768},  {false, 800, 600, 800, 600}, {false, 800, 0, 1024, 768},
        {false, 0, 600, 1024, 768}, {false, 1, 1, 1, 1},        {false, -5, 600, 1024, 768},
        {true, 800, 600, 1920, 1080},
    };
    for (const auto& c : cases) {
        WindowSettings config;
        config.width = 1024;
        config.height = 768;
        config.full_screen = c.fullScreen;
        config.window_width = c.windowWidth;
        config.window_height = c.windowHeight;
        const WindowSize size = ComputeWindowSize(config, screen);
        EXPECT_EQ(size.width, c.width) << c.fullScreen << " " << c.windowWidth << "x" << c.windowHeight;
        EXPECT_EQ(size.height, c.height) << c.fullScreen << " " << c.windowWidth << "x" << c.windowHeight;
    }
}

class AppWindowTest : public ::testing::Test {
protected:
    void SetUp() override { InitConfigDefaults(); }
    void TearDown() override {
        CloseAppWindow();
        InitConfigDefaults();
    }
};

TEST_F(AppWindowTest, WindowedIsTitledAndSizedFromTheConfiguration) {
    g_config.product_name = "Test Game";
    g_config.window_width = 640;
    g_config.window_height = 480;
    SDL_Window* window = CreateAppWindow(MainWindowSettings());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window, GetAppWindow());
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Test Game");
    EXPECT_EQ(GetAppWindowSize().width, 640);
    EXPECT_EQ(GetAppWindowSize().height, 480);
    EXPECT_FALSE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(AppWindowTest, FullScreenIsDesktopSizedAndAlwaysHoldsTheMouse) {
    g_config.full_screen = true;
    SDL_Window* window = CreateAppWindow(MainWindowSettings());
    ASSERT_NE(window, nullptr);
    SDL_DisplayMode desktop{};
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    EXPECT_EQ(GetAppWindowSize().width, desktop.w);
    EXPECT_EQ(GetAppWindowSize().height, desktop.h);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_TRUE(IsMouseInWindow(g_config.full_screen));
}

TEST_F(AppWindowTest, ToggleRecreatesTheWindowAndAnUnreadableIconIsNoIcon) {
    g_config.icon_file = "no such icon.png";
    ASSERT_NE(CreateAppWindow(MainWindowSettings()), nullptr);
    SetHardwareCursor(false);
    DestroyAppWindow();
    EXPECT_EQ(GetAppWindow(), nullptr);
    EXPECT_FALSE(IsMouseInWindow(g_config.full_screen));
    WarpMouseInWindow(1, 1);  // no window: nothing to warp
    EXPECT_NE(CreateAppWindow(MainWindowSettings()), nullptr);
    SetHardwareCursor(true);
}

}  // namespace

namespace {

TEST_F(AppWindowTest, BlockedOutCursorIsParkedAtTheDrawingAreaCornerInWindowPixels) {
    g_config.window_width = 640;  // centred: the window is not at the screen's origin
    g_config.window_height = 480;
    ASSERT_NE(CreateAppWindow(MainWindowSettings()), nullptr);
    g_input = InputState{};
    g_input.viewport = InputViewport{2.0f, 2.0f, 10.0f, 20.0f, 100, 50};
    g_input.mouse.block_out = true;
    SwapInputQueues();
    ProcessInputEvents();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 100);
    EXPECT_FLOAT_EQ(g_input.mouse.y, 50);
    int x = 0, y = 0;
    SDL_PumpEvents();
    SDL_GetMouseState(&x, &y);
    EXPECT_EQ(x, 210) << "relative to the window, not the screen";
    EXPECT_EQ(y, 120);

    g_input.mouse.left.down = true;  // a held button is never parked
    g_input.mouse.x = 5;
    ProcessInputEvents();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 5);
    g_input = InputState{};
}

}  // namespace

namespace {

TEST_F(AppWindowTest, FullScreenToggleRecreatesTheWindowAndTellsTheScriptOnce) {
    StartEngineFrameTest();
    ASSERT_EQ(luaL_dostring(LuaGetState(), "recreated = 0 function recreate() recreated = recreated + 1 end"), 0);
    const auto recreated = [] {
        lua_getglobal(LuaGetState(), "recreated");
        const auto count = lua_tointeger(LuaGetState(), -1);
        lua_pop(LuaGetState(), 1);
        return count;
    };
    CreateMainWindow();
    g_engine.full_screen_toggle_requested = true;
    RecreateIfNeeded();
    EXPECT_FALSE(g_engine.full_screen_toggle_requested);
    EXPECT_TRUE(g_config.full_screen);
    ASSERT_NE(GetAppWindow(), nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(GetAppWindow()) & SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_EQ(recreated(), 1);
    RecreateIfNeeded();  // nothing requested: nothing happens
    EXPECT_TRUE(g_config.full_screen);
    EXPECT_EQ(recreated(), 1);
    EndEngineFrameTest();
    g_engine = EngineState{};
}

}  // namespace
