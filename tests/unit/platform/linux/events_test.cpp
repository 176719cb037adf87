#include "platform/linux/events.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <vector>

#include "app/velk_main.h"
#include "core/config.h"
#include "core/input.h"
#include "fixtures/engine_frame.h"
#include "platform/linux/signals.h"
#include "platform/linux/window.h"
#include "script/lua_base.h"

namespace {

SDL_Event Key(Uint32 type, SDL_Scancode scancode, SDL_Keycode sym, bool repeat = false) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.repeat = repeat ? 1 : 0;
    return event;
}

SDL_Event Button(Uint32 type, Uint8 button, int x = 3, int y = 4, Uint32 timeMs = 0) {
    SDL_Event event{};
    event.type = type;
    event.button.button = button;
    event.button.clicks = 1;  // SDL's own count is not what decides
    event.button.x = x;
    event.button.y = y;
    event.button.timestamp = timeMs;
    return event;
}

// One event on its own, with nothing pressed before it.
TranslatedEvent Translate(const SDL_Event& event) {
    DoubleClickWatch clicks;
    return TranslateSdlEvent(event, clicks);
}

SDL_Event Wheel(int x, int y, Uint32 direction = SDL_MOUSEWHEEL_NORMAL) {
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.x = x;
    event.wheel.y = y;
    event.wheel.direction = direction;
    return event;
}

SDL_Event Text(const char* utf8) {
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strncpy(event.text.text, utf8, sizeof event.text.text - 1);
    return event;
}

SDL_Event Window(Uint8 what) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    return event;
}

std::vector<InputEvent> Inputs(const TranslatedEvent& out) {
    return {out.inputs.begin(), out.inputs.begin() + out.input_count};
}

bool Same(const InputEvent& a, const InputEvent& b) {
    return a.type == b.type && a.value == b.value && a.x == b.x && a.y == b.y && a.repeat == b.repeat;
}

// The single input event an SDL event becomes (type 0 when none).
InputEvent Only(const SDL_Event& event) {
    const std::vector<InputEvent> inputs = Inputs(Translate(event));
    EXPECT_LE(inputs.size(), 1u);
    return inputs.empty() ? InputEvent{} : inputs[0];
}

TEST(EventTranslation, KeysBecomeWindowsVirtualKeys) {
    const struct {
        SDL_Scancode scancode;
        SDL_Keycode sym;
        int code;
    } cases[] = {
        {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 16}, {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 16},
        {SDL_SCANCODE_LCTRL, SDLK_LCTRL, 17},   {SDL_SCANCODE_RCTRL, SDLK_RCTRL, 17},
        {SDL_SCANCODE_LALT, SDLK_LALT, 18},     {SDL_SCANCODE_RALT, SDLK_RALT, 18},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 13}, {SDL_SCANCODE_RETURN, SDLK_RETURN, 13},
        {SDL_SCANCODE_Q, SDLK_a, 65},  // a French layout: the key says "a"
        {SDL_SCANCODE_A, SDLK_q, 81},
        {SDL_SCANCODE_Z, SDLK_z, 90},
        {SDL_SCANCODE_1, SDLK_AMPERSAND, 49},  // no digit keycode: by position
        {SDL_SCANCODE_0, SDLK_0, 48},
        {SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, 192}, {SDL_SCANCODE_GRAVE, SDLK_CARET, 192},
        {SDL_SCANCODE_SEMICOLON, SDLK_m, 77},  // a letter keycode wins over the position
        {SDL_SCANCODE_BACKSLASH, SDLK_BACKSLASH, 220}, {SDL_SCANCODE_MINUS, SDLK_MINUS, 189},
        {SDL_SCANCODE_F1, SDLK_F1, 112}, {SDL_SCANCODE_F10, SDLK_F10, 121}, {SDL_SCANCODE_F12, SDLK_F12, 123},
        {SDL_SCANCODE_KP_7, SDLK_KP_7, 103}, {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 27},
        {SDL_SCANCODE_LEFT, SDLK_LEFT, 37}, {SDL_SCANCODE_DELETE, SDLK_DELETE, 46},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Same(Only(Key(SDL_KEYDOWN, c.scancode, c.sym)), {kInputKeyDown, c.code, 0, 0, false}))
            << SDL_GetScancodeName(c.scancode);
        EXPECT_TRUE(Same(Only(Key(SDL_KEYUP, c.scancode, c.sym)), {kInputKeyUp, c.code, 0, 0, false}))
            << SDL_GetScancodeName(c.scancode);
    }
}

TEST(EventTranslation, RepeatFlagAndUnknownKeys) {
    EXPECT_TRUE(Same(Only(Key(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, true)), {kInputKeyDown, 18, 0, 0, true}));
    EXPECT_FALSE(Only(Key(SDL_KEYUP, SDL_SCANCODE_X, SDLK_x, true)).repeat) << "a key-up never repeats";
    EXPECT_EQ(Only(Key(SDL_KEYDOWN, SDL_SCANCODE_MUTE, SDLK_MUTE)).type, 0);
}

TEST(EventTranslation, TextUpToCodePoint255) {
    const struct {
        const char* utf8;
        std::vector<int> characters;
    } cases[] = {
        {"a", {'a'}},
        {"\xC3\xA9", {0xE9}},                  // e acute
        {"\xC3\xBF", {0xFF}},                  // 255 is kept
        {"\xC4\x80", {}},                      // 256 is not
        {"\xE2\x82\xAC", {}},                  // euro sign
        {"\xF4\x80\x81\x81", {}},              // U+100041: its low 16 bits would read as "A"
        {"x\xC3\xA9y", {'x', 0xE9, 'y'}},
        {"\xC3z", {'z'}},                      // a broken sequence is skipped
        {"\xC1\x81", {}},                      // overlong "A"
    };
    for (const auto& c : cases) {
        std::vector<int> got;
        for (const InputEvent& input : Inputs(Translate(Text(c.utf8)))) {
            EXPECT_EQ(input.type, kInputCharacter);
            got.push_back(input.value);
        }
        EXPECT_EQ(got, c.characters) << c.utf8;
    }
}

TEST(EventTranslation, WheelUpDownAndSideways) {
    EXPECT_EQ(Only(Wheel(0, 1)).type, kInputWheelUp);
    EXPECT_EQ(Only(Wheel(0, -2)).type, kInputWheelDown);
    EXPECT_EQ(Only(Wheel(0, 0)).type, kInputWheelDown) << "a zero delta counts as down";
    EXPECT_EQ(Only(Wheel(0, 1, SDL_MOUSEWHEEL_FLIPPED)).type, kInputWheelDown);
    EXPECT_EQ(Only(Wheel(3, 0)).type, 0) << "the horizontal wheel is ignored";
    EXPECT_TRUE(Same(Only(Wheel(0, 1)), {kInputWheelUp, 0, 0, 0, false}));
}

TEST(EventTranslation, DoubleClickGivesDownUpUp) {
    DoubleClickWatch clicks;
    std::vector<InputEvent> queued;
    for (const SDL_Event& event :
         {Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 4, 1000), Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 3, 4, 1050),
          Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 4, 1100), Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 3, 4, 1150),
          Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 3, 4, 1200)})
        for (const InputEvent& input : Inputs(TranslateSdlEvent(event, clicks))) queued.push_back(input);
    ASSERT_EQ(queued.size(), 4u);
    EXPECT_TRUE(Same(queued[0], {kInputButtonDown, 1, 3, 4, false}));
    EXPECT_TRUE(Same(queued[1], {kInputButtonUp, 1, 3, 4, false}));
    EXPECT_TRUE(Same(queued[2], {kInputButtonUp, 1, 3, 4, false}));
    EXPECT_TRUE(Same(queued[3], {kInputButtonDown, 1, 3, 4, false})) << "a third press is a press again";
}

// The second of two presses is dropped only within the 4 x 4 rectangle and the time.
TEST(EventTranslation, DoubleClickNeedsTheSameSpotButtonAndTime) {
    const struct {
        const char* name;
        Uint8 secondButton;
        int dx, dy;
        Uint32 delayMs;
        bool doubleClick;
    } cases[] = {
        {"same pixel", SDL_BUTTON_LEFT, 0, 0, 80, true},
        {"3 px apart", SDL_BUTTON_LEFT, 3, -3, 80, true},
        {"4 px apart", SDL_BUTTON_LEFT, 4, 0, 80, false},
        {"10 px apart", SDL_BUTTON_LEFT, 0, 10, 80, false},
        {"30 px apart", SDL_BUTTON_LEFT, 30, 0, 80, false},
        {"too late", SDL_BUTTON_LEFT, 0, 0, kDoubleClickTimeMs, false},
        {"other button", SDL_BUTTON_RIGHT, 0, 0, 80, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DoubleClickWatch clicks;
        // Near the top of the millisecond clock, so a wrap between the presses is covered.
        const Uint32 first = 0xFFFFFFF0u;
        EXPECT_EQ(TranslateSdlEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 100, 60, first), clicks).input_count, 1);
        TranslateSdlEvent(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 100, 60, first + 40), clicks);
        const TranslatedEvent second =
            TranslateSdlEvent(Button(SDL_MOUSEBUTTONDOWN, c.secondButton, 100 + c.dx, 60 + c.dy, first + c.delayMs), clicks);
        EXPECT_EQ(second.input_count, c.doubleClick ? 0 : 1);
    }
}

TEST(EventTranslation, ButtonsCaptureTheMouseWhileHeld) {
    const struct {
        Uint8 sdl;
        int value;
    } buttons[] = {{SDL_BUTTON_LEFT, 1}, {SDL_BUTTON_RIGHT, 2}, {SDL_BUTTON_MIDDLE, 3}};
    for (const auto& b : buttons) {
        const TranslatedEvent down = Translate(Button(SDL_MOUSEBUTTONDOWN, b.sdl, -5, 70000));
        ASSERT_EQ(down.input_count, 1);
        EXPECT_TRUE(Same(down.inputs[0], {kInputButtonDown, b.value, -5, 70000, false}));
        EXPECT_EQ(down.capture, MouseCapture::Begin);
        const TranslatedEvent up = Translate(Button(SDL_MOUSEBUTTONUP, b.sdl));
        EXPECT_EQ(up.inputs[0].value, b.value);
        EXPECT_EQ(up.capture, MouseCapture::End);
    }
    EXPECT_EQ(Translate(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1)).input_count, 0);
}

TEST(EventTranslation, MotionFocusMinimiseAndClose) {
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 12;
    motion.motion.y = 34;
    EXPECT_TRUE(Same(Only(motion), {kInputMouseMove, 0, 12, 34, false}));

    EXPECT_EQ(Translate(Window(SDL_WINDOWEVENT_FOCUS_LOST)).active, false);
    EXPECT_EQ(Translate(Window(SDL_WINDOWEVENT_FOCUS_GAINED)).active, true);
    EXPECT_EQ(Translate(Window(SDL_WINDOWEVENT_MINIMIZED)).minimised, true);
    EXPECT_EQ(Translate(Window(SDL_WINDOWEVENT_RESTORED)).minimised, false);
    EXPECT_FALSE(Translate(Window(SDL_WINDOWEVENT_MOVED)).minimised.has_value());
    EXPECT_EQ(Translate(Window(SDL_WINDOWEVENT_CLOSE)).close_origin, kCloseOriginWindow);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(Translate(quit).close_origin, kCloseOriginSession);
}

TEST(EventPump, CloseSignalIsASessionEndThatQuitsEvenWithConfirmExit) {
    InitConfigDefaults();
    g_config.confirm_exit = true;
    g_app = AppState{};
    InstallAppEventSink();
    InstallCloseSignalHandlers();
    EXPECT_EQ(PumpOneEvent(), PumpResult::Idle);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        g_app.close_origin = 0;
        std::raise(signal);
        EXPECT_EQ(PumpOneEvent(), PumpResult::Quit) << signal;
        EXPECT_EQ(g_app.close_origin, kCloseOriginSession);
        EXPECT_EQ(PumpOneEvent(), PumpResult::Idle) << "one signal, one close";
    }
    InitConfigDefaults();
}

}  // namespace

namespace {

// Events through SDL's own queue, on a real (dummy-driver) window.
class EventPumpOnWindow : public ::testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        g_app = AppState{};
        g_input = InputState{};
        InstallAppEventSink();
        ASSERT_NE(CreateAppWindow(MainWindowSettings()), nullptr);
        DrainPending();
        g_input.write_queue.clear();
    }
    void TearDown() override {
        CloseAppWindow();
        InitConfigDefaults();
    }
    // SDL's poll sentinel makes a poll report "nothing" once per sweep of the queue, so
    // idle counts only when the queue is empty too.
    static PumpResult DrainPending() {
        for (int i = 0; i < 1000; ++i) {
            const PumpResult result = PumpOneEvent();
            if (result == PumpResult::Quit) return result;
            if (result == PumpResult::Idle && !SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return result;
        }
        return PumpResult::Handled;
    }
    static void Push(SDL_Event event) {
        event.window.windowID = SDL_GetWindowID(GetAppWindow());
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
};

TEST_F(EventPumpOnWindow, InputIsQueuedAndFocusFollowsTheWindow) {
    Push(Key(SDL_KEYDOWN, SDL_SCANCODE_F12, SDLK_F12, true));
    Push(Window(SDL_WINDOWEVENT_FOCUS_LOST));
    Push(Window(SDL_WINDOWEVENT_MINIMIZED));
    EXPECT_EQ(DrainPending(), PumpResult::Idle);
    ASSERT_EQ(g_input.write_queue.size(), 1u);
    EXPECT_TRUE(Same(g_input.write_queue[0], {kInputKeyDown, 123, 0, 0, true}));
    EXPECT_FALSE(g_app.active);
    EXPECT_TRUE(g_app.minimised);
}

TEST_F(EventPumpOnWindow, CloseButtonQuitsUnlessTheScriptTakesIt) {
    Push(Window(SDL_WINDOWEVENT_CLOSE));
    EXPECT_EQ(DrainPending(), PumpResult::Quit);
    EXPECT_EQ(g_app.close_origin, kCloseOriginWindow);

    StartEngineFrameTest();
    g_config.confirm_exit = true;
    ASSERT_EQ(luaL_dostring(LuaGetState(), "asked = 0 function exit() asked = asked + 1 end"), 0);
    Push(Window(SDL_WINDOWEVENT_CLOSE));
    EXPECT_EQ(DrainPending(), PumpResult::Idle) << "the window stays open";
    EXPECT_EQ(g_app.close_origin, kCloseOriginWindow);
    lua_getglobal(LuaGetState(), "asked");
    EXPECT_EQ(lua_tointeger(LuaGetState(), -1), 1);
    lua_pop(LuaGetState(), 1);
    SDL_Event quit{};
    quit.type = SDL_QUIT;  // the session ends: no question
    Push(quit);
    EXPECT_EQ(DrainPending(), PumpResult::Quit);
    EndEngineFrameTest();
}

}  // namespace
