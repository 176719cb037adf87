// Keys, typed text, input switching, block-out, mouse offset and the hardware cursor
// as the scripts see them.
#include <SDL.h>

#include <vector>

#include "api_fixture.h"
#include "app/velk_main.h"
#include "core/config.h"
#include "core/input.h"
#include "graphics/render.h"
#include "platform/linux/window.h"

namespace {

class InputApi : public ApiTest {
protected:
    void TearDown() override {
        CloseAppWindow();
        ApiTest::TearDown();
    }
    // One frame: the events queued since the last one are applied.
    void Frame() {
        SwapInputQueues();
        ProcessInputEvents();
    }
    void Key(int code, bool down, bool repeat = false) {
        QueueInputEvent(down ? kInputKeyDown : kInputKeyUp, code, 0, 0, repeat);
    }
    std::string KeyState(const char* name) {
        const std::string arg = std::string("'") + name + "'";
        return Eval("tostring(kbd_struck(" + arg + ")) .. ' ' .. tostring(kbd_repeat(" + arg + ")) .. ' ' .. tostring(kbd_down(" + arg + "))");
    }
};

TEST_F(InputApi, KeyTablesFrameByFrame) {
    constexpr int kA = 'A';
    const struct {
        const char* step;
        std::vector<InputEvent> events;
        const char* expected;  // struck repeat down
    } frames[] = {
        {"first press", {{kInputKeyDown, kA, 0, 0, false}}, "true true true"},
        {"held, no events", {}, "false false true"},
        {"auto-repeat", {{kInputKeyDown, kA, 0, 0, true}}, "false true true"},
        {"released", {{kInputKeyUp, kA, 0, 0, false}}, "false false false"},
        {"pressed and released in one frame", {{kInputKeyDown, kA, 0, 0, false}, {kInputKeyUp, kA, 0, 0, false}},
         "true true false"},
        {"nothing", {}, "false false false"},
    };
    for (const auto& frame : frames) {
        SCOPED_TRACE(frame.step);
        for (const InputEvent& e : frame.events) QueueInputEvent(e.type, e.value, e.x, e.y, e.repeat);
        Frame();
        EXPECT_EQ(KeyState("a"), frame.expected);
        EXPECT_EQ(KeyState("A"), frame.expected);
    }
}

TEST_F(InputApi, NamedKeysAndUnknownNames) {
    Key(112, true);  // F1
    Key('7', true);
    Frame();
    EXPECT_EQ(KeyState("f1"), "true true true");
    EXPECT_EQ(KeyState("7"), "true true true");
    EXPECT_EQ(KeyState("F1"), "false false false") << "names are case-sensitive";

    // An unknown name must not read whatever the last table entry holds.
    g_input.keys.pressed[kNoKey] = kKeyPressed;
    g_input.keys.down[kNoKey] = kKeyHeld;
    EXPECT_EQ(KeyState("nosuchkey"), "false false false");
    EXPECT_EQ(Eval("tostring(kbd_struck()) .. tostring(kbd_down({})) .. tostring(kbd_repeat(nil))"), "falsefalsefalse");
}

TEST_F(InputApi, TypedCharactersOfTheFrame) {
    EXPECT_EQ(Eval("kbd_chars()"), "nil");
    for (const char c : std::string("hi!")) QueueInputEvent(kInputCharacter, c, 0, 0, false);
    Frame();
    EXPECT_EQ(Eval("kbd_chars()"), "hi!");
    Frame();
    EXPECT_EQ(Eval("kbd_chars()"), "nil");
    EXPECT_EQ(Eval("select('#', kbd_show())"), "0");
}

TEST_F(InputApi, EnableReportsAndOnlyABooleanSwitches) {
    Key('A', true);
    Frame();
    EXPECT_EQ(Eval("input_enable()"), "true");
    EXPECT_EQ(Eval("input_enable(0)"), "true");
    EXPECT_EQ(Eval("kbd_down('a')"), "true") << "reporting alone resets nothing";

    EXPECT_EQ(Eval("input_enable(false)"), "false");
    EXPECT_EQ(Eval("kbd_down('a')"), "false") << "switching resets the tables";
    Key('B', true);
    Frame();
    EXPECT_EQ(Eval("kbd_down('b')"), "false") << "disabled input is dropped";

    EXPECT_EQ(Eval("input_enable(true)"), "true");
    Key('B', true);
    Frame();
    EXPECT_EQ(Eval("kbd_struck('b')"), "true");
}

TEST_F(InputApi, ResetClearsTablesButKeepsThePosition) {
    Key('A', true);
    QueueInputEvent(kInputButtonDown, 1, 30, 40, false);
    Frame();
    ASSERT_TRUE(g_input.mouse.left.down);
    ASSERT_EQ(Run("input_reset()"), "");
    EXPECT_EQ(Eval("kbd_down('a')"), "false");
    EXPECT_FALSE(g_input.mouse.left.down);
    EXPECT_FLOAT_EQ(g_input.mouse.x, 30);
    EXPECT_FLOAT_EQ(g_input.mouse.y, 40);
}

TEST_F(InputApi, BlockOutIsTheOppositeOfTheValuesTruth) {
    const struct {
        const char* call;
        bool blockOut;
    } cases[] = {
        {"mouse_block_out_not_pressed()", true},      {"mouse_block_out_not_pressed(nil)", true},
        {"mouse_block_out_not_pressed(false)", true}, {"mouse_block_out_not_pressed(true)", false},
        {"mouse_block_out_not_pressed(0)", false},    {"mouse_block_out_not_pressed('no')", false},
    };
    for (const auto& c : cases) {
        g_input.mouse.block_out = !c.blockOut;
        ASSERT_EQ(Run(c.call), "");
        EXPECT_EQ(g_input.mouse.block_out, c.blockOut) << c.call;
    }
}

// A 320 x 240 game in an 800 x 480 window, as start-up makes it: the renderer's letterbox
// is scale 2 with 80-pixel bars left and right.
void StartLetterboxedWindow() {
    g_config.width = 320;
    g_config.height = 240;
    g_config.window_width = 800;
    g_config.window_height = 480;
    ApplyRenderConfig();
    CloseRenderer();
    CreateMainWindow();
}

TEST_F(InputApi, BlockedOutPointerIsWarpedInsideTheWindowUntilTheLeftButtonIsHeld) {
    StartLetterboxedWindow();
    ASSERT_EQ(Run("mouse_block_out_not_pressed()"), "");
    QueueInputEvent(kInputMouseMove, 0, 300, 300, false);
    Frame();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 320) << "the drawing area's bottom-right corner";
    EXPECT_FLOAT_EQ(g_input.mouse.y, 240);
    int x = 0, y = 0;
    SDL_PumpEvents();
    SDL_GetMouseState(&x, &y);
    EXPECT_EQ(x, 720);
    EXPECT_EQ(y, 479) << "on the window's last row, not below it";

    QueueInputEvent(kInputButtonDown, 1, 120, 60, false);
    Frame();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 20) << "a held button is never parked";
    ASSERT_EQ(Run("mouse_block_out_not_pressed(true)"), "");
    QueueInputEvent(kInputButtonUp, 1, 120, 60, false);
    Frame();
    Frame();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 20) << "block-out off";
}

// The mapping follows the renderer wherever it is made again: start-up, the full-screen
// toggle, and gfx_resolution at the next re-creation. Each click is a
// little inside virtual pixel (100, 60), which truncation keeps.
TEST_F(InputApi, WindowPixelsBecomeVirtualPixelsAfterEveryRecreation) {
    const auto clickAt = [this](int windowX, int windowY) {
        QueueInputEvent(kInputButtonDown, 1, windowX, windowY, false);
        QueueInputEvent(kInputButtonUp, 1, windowX, windowY, false);
        Frame();
        EXPECT_FLOAT_EQ(g_input.mouse.x, 100);
        EXPECT_FLOAT_EQ(g_input.mouse.y, 60);
    };
    StartLetterboxedWindow();
    clickAt(281, 121);

    SCOPED_TRACE("full screen on the 1024 x 768 desktop: scale 3.2");
    g_engine.full_screen_toggle_requested = true;
    RecreateIfNeeded();
    clickAt(321, 193);

    SCOPED_TRACE("gfx_resolution(640, 480), then re-created: scale 1.6");
    ASSERT_EQ(Run("gfx_resolution(640, 480)"), "");
    g_engine.device_lost = true;
    RecreateIfNeeded();
    clickAt(161, 97);
    g_engine = EngineState{};
}

TEST_F(InputApi, OffsetReplacesTheOldOneInPositionAndLaterEvents) {
    QueueInputEvent(kInputMouseMove, 0, 10, 20, false);
    Frame();
    ASSERT_EQ(Run("mouse_set_offset_xy(5, -2)"), "");
    EXPECT_FLOAT_EQ(g_input.mouse.x, 15);
    EXPECT_FLOAT_EQ(g_input.mouse.y, 18);
    ASSERT_EQ(Run("mouse_set_offset_xy('3', {})"), "");  // a numeric string counts, a table reads as 0
    EXPECT_FLOAT_EQ(g_input.mouse.x, 13);
    EXPECT_FLOAT_EQ(g_input.mouse.y, 20);
    QueueInputEvent(kInputMouseMove, 0, 100, 100, false);
    Frame();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 103);
    EXPECT_FLOAT_EQ(g_input.mouse.y, 100);
    ASSERT_EQ(Run("mouse_set_offset_xy()"), "");
    EXPECT_FLOAT_EQ(g_input.mouse.x, 100);
}

class HardwareCursorApi : public InputApi {
protected:
    void SetUp() override {
        InputApi::SetUp();
        ASSERT_NE(CreateAppWindow(MainWindowSettings()), nullptr);
        if (!SDL_GetCursor()) GTEST_SKIP() << "this video driver has no cursors (the test runs under X as well)";
    }
    void TearDown() override {
        SetHardwareCursor(true);
        InputApi::TearDown();
    }
};

TEST_F(HardwareCursorApi, SwitchesTheWindowsCursorBetweenArrowAndBlank) {
    SDL_Cursor* const arrow = SDL_GetCursor();

    ASSERT_EQ(Run("mouse_hardware_cursor(false)"), "");
    SDL_Cursor* const blank = SDL_GetCursor();
    EXPECT_NE(blank, arrow);
    ASSERT_EQ(Run("mouse_hardware_cursor(1) mouse_hardware_cursor('true') mouse_hardware_cursor()"), "");
    EXPECT_EQ(SDL_GetCursor(), blank) << "only a boolean switches";

    ASSERT_EQ(Run("mouse_hardware_cursor(true)"), "");
    EXPECT_EQ(SDL_GetCursor(), arrow);
}

TEST_F(HardwareCursorApi, ChoiceMadeWithoutAWindowAppliesToTheNextWindow) {
    SDL_Cursor* const arrow = SDL_GetCursor();
    DestroyAppWindow();
    ASSERT_EQ(Run("mouse_hardware_cursor(false)"), "");
    ASSERT_NE(CreateAppWindow(MainWindowSettings()), nullptr);
    EXPECT_NE(SDL_GetCursor(), arrow);
}

}  // namespace
