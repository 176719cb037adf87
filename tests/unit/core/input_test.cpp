#include "core/input.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_input = InputState{};
        InitKeyTables();
        InitMouseState();
    }
    // One frame: what was queued since the last frame is applied.
    void Frame() {
        SwapInputQueues();
        ProcessInputEvents();
    }
    static void Key(int type, int code, bool repeat = false) { QueueInputEvent(type, code, 0, 0, repeat); }
    static std::string Typed() { return std::string(g_input.typed.data(), g_input.typed_length); }
};

TEST_F(InputTest, HeldKeyFrameByFrame) {
    const KeyTables& keys = g_input.keys;
    Key(kInputKeyDown, 65);
    Frame();
    EXPECT_EQ(keys.pressed[65], 2);
    EXPECT_EQ(keys.down[65], 4);
    EXPECT_EQ(keys.released[65], 0);

    Frame();  // no events: still held, no longer pressed
    EXPECT_EQ(keys.pressed[65], 0);
    EXPECT_EQ(keys.down[65], 4);

    Key(kInputKeyDown, 65, true);
    Frame();
    EXPECT_EQ(keys.pressed[65], 3);
    EXPECT_EQ(keys.down[65], 4);

    Key(kInputKeyUp, 65);
    Frame();
    EXPECT_EQ(keys.pressed[65], 0);
    EXPECT_EQ(keys.down[65], 0);
    EXPECT_EQ(keys.released[65], 1);

    Frame();
    EXPECT_EQ(keys.released[65], 0);
}

TEST_F(InputTest, ResetDuringAHeldKeyClearsDownAndTheLaterReleaseStillCounts) {
    Key(kInputKeyDown, 32);
    Frame();
    ResetInput();
    EXPECT_EQ(g_input.keys.down[32], 0);
    Key(kInputKeyUp, 32);
    Frame();
    EXPECT_EQ(g_input.keys.released[32], 1);
}

TEST_F(InputTest, KeyCodesOutsideTheTablesAreIgnored) {
    Key(kInputKeyDown, 256);
    Key(kInputKeyDown, -1);
    Key(kInputKeyUp, 1000);
    Frame();
    for (int code = 0; code < 256; ++code) ASSERT_EQ(g_input.keys.down[code], 0) << code;
}

TEST_F(InputTest, ClickPressedAndReleasedInOneFrame) {
    const MouseButtonState& left = g_input.mouse.left;
    QueueInputEvent(kInputButtonDown, 1, 10, 10, false);
    QueueInputEvent(kInputButtonUp, 1, 10, 10, false);
    Frame();
    EXPECT_TRUE(left.click);
    EXPECT_TRUE(left.down);
    EXPECT_TRUE(left.up);
    Frame();
    EXPECT_FALSE(left.click);
    EXPECT_FALSE(left.down);
    EXPECT_FALSE(left.up);
}

TEST_F(InputTest, ButtonsAndWheelLastOneFrame) {
    QueueInputEvent(kInputButtonDown, 2, 0, 0, false);
    QueueInputEvent(kInputWheelDown, 0, 0, 0, false);
    Frame();
    EXPECT_TRUE(g_input.mouse.right.click);
    EXPECT_TRUE(g_input.mouse.wheel_down);
    Frame();
    EXPECT_FALSE(g_input.mouse.right.click);
    EXPECT_TRUE(g_input.mouse.right.down) << "held across frames";
    EXPECT_FALSE(g_input.mouse.wheel_down);
    QueueInputEvent(kInputButtonUp, 2, 0, 0, false);
    Frame();
    EXPECT_FALSE(g_input.mouse.right.down);
    EXPECT_TRUE(g_input.mouse.right.up);
}

TEST_F(InputTest, TypedTextKeepsFortyPrintableCharacters) {
    Key(kInputCharacter, '\t');
    Key(kInputCharacter, '\r');
    for (int i = 0; i < 41; ++i) Key(kInputCharacter, 'a' + i % 26);
    Frame();
    EXPECT_EQ(Typed().size(), 40u);
    EXPECT_EQ(Typed().substr(0, 3), "abc");
    Frame();
    EXPECT_EQ(Typed(), "");
}

TEST_F(InputTest, PositionIsTheLastPositionedEventPlusTheOffset) {
    g_input.mouse.offset_x = 5;
    g_input.mouse.offset_y = -5;
    QueueInputEvent(kInputMouseMove, 0, 10, 20, false);
    QueueInputEvent(kInputButtonDown, 1, 30, 40, false);
    QueueInputEvent(kInputWheelUp, 0, 0, 0, false);  // carries no position
    Frame();
    EXPECT_FLOAT_EQ(g_input.mouse.x, 35);
    EXPECT_FLOAT_EQ(g_input.mouse.y, 35);
}

TEST_F(InputTest, QueueMapsWindowPixelsThroughTheLetterbox) {
    g_input.viewport = InputViewport{2.0f, 0.5f, 10.0f, 20.0f, 512, 1536};
    const struct {
        int x, y, virtualX, virtualY;
    } cases[] = {
        {10, 20, 0, 0}, {30, 21, 10, 2}, {11, 20, 0, 0}, {5, 0, -2, -40}, {1034, 788, 512, 1536},
    };
    for (const auto& c : cases) QueueInputEvent(kInputMouseMove, 0, c.x, c.y, false);
    SwapInputQueues();
    ASSERT_EQ(InputEventCount(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(GetInputEvent(i)->x, cases[i].virtualX) << i;
        EXPECT_EQ(GetInputEvent(i)->y, cases[i].virtualY) << i;
    }
    EXPECT_EQ(GetInputEvent(std::size(cases)), nullptr);
}

TEST_F(InputTest, DisabledInputIsDroppedAtTheQueue) {
    g_input.enabled = false;
    Key(kInputKeyDown, 65);
    g_input.enabled = true;
    Frame();
    EXPECT_EQ(InputEventCount(), 0u);
    EXPECT_EQ(g_input.keys.down[65], 0);
}

TEST_F(InputTest, EventsStayReadableUntilTheSwapAfterTheirFrame) {
    Key(kInputKeyDown, 65);
    Frame();
    Key(kInputKeyDown, 66);  // queued for the next frame
    ASSERT_EQ(InputEventCount(), 1u);
    EXPECT_EQ(GetInputEvent(0)->value, 65);
    Frame();
    ASSERT_EQ(InputEventCount(), 1u);
    EXPECT_EQ(GetInputEvent(0)->value, 66);
}

TEST_F(InputTest, TwoFingerTouchPinchesWithTheNextEventAsSecondFinger) {
    QueueInputEvent(kInputTouchBegin, 2, 10, 20, false);
    QueueInputEvent(kInputTouchBegin, 2, 30, 40, false);
    Frame();
    const TouchState& touch = g_input.touch;
    EXPECT_TRUE(touch.pinching);
    EXPECT_EQ(touch.pinch_start, (PinchPoints{10, 20, 30, 40})) << "the partner is not paired again";
    EXPECT_FLOAT_EQ(g_input.mouse.x, 30);

    QueueInputEvent(kInputTouchMove, 2, 11, 21, false);
    QueueInputEvent(kInputTouchMove, 2, 31, 41, false);
    Frame();
    EXPECT_EQ(touch.pinch_current, (PinchPoints{11, 21, 31, 41}));
    EXPECT_EQ(touch.pinch_previous, (PinchPoints{10, 20, 30, 40}));

    QueueInputEvent(kInputTouchEnd, 2, 1, 2, false);  // the last event: its pair is missing
    Frame();
    EXPECT_FALSE(touch.pinching);
    EXPECT_EQ(touch.pinch_previous, (PinchPoints{11, 21, 31, 41}));
    EXPECT_EQ(touch.pinch_current, (PinchPoints{1, 2, 1, 2}));
}

TEST_F(InputTest, OneFingerTouchIsTheLeftButton) {
    QueueInputEvent(kInputTouchBegin, 1, 5, 5, false);
    Frame();
    EXPECT_TRUE(g_input.mouse.left.click);
    EXPECT_TRUE(g_input.mouse.left.down);
    QueueInputEvent(kInputTouchEnd, 1, 5, 5, false);
    Frame();
    EXPECT_TRUE(g_input.mouse.left.up);
    EXPECT_FALSE(g_input.mouse.left.down);
}

TEST_F(InputTest, ResetKeepsPositionOffsetAndQueues) {
    QueueInputEvent(kInputButtonDown, 1, 7, 8, false);
    Frame();
    g_input.mouse.offset_x = 3;
    Key(kInputKeyDown, 65);
    ResetInput();
    EXPECT_FALSE(g_input.mouse.left.down);
    EXPECT_FLOAT_EQ(g_input.mouse.x, 7);
    EXPECT_FLOAT_EQ(g_input.mouse.offset_x, 3);
    EXPECT_EQ(g_input.write_queue.size(), 1u);
}

TEST(KeyCodeFromName, EveryNameOfTheTable) {
    const std::vector<std::pair<const char*, int>> names = {
        {"backspace", 8}, {"tab", 9}, {"ncenter", 12}, {"enter", 13}, {"shift", 16}, {"lshift", 160},
        {"rshift", 161}, {"ctrl", 17}, {"lctrl", 162}, {"rctrl", 163}, {"alt", 18}, {"lalt", 164},
        {"ralt", 165}, {"pause", 19}, {"capslock", 20}, {"esc", 27}, {"space", 32}, {"pageup", 33},
        {"pagedn", 34}, {"end", 35}, {"home", 36}, {"left", 37}, {"up", 38}, {"right", 39},
        {"down", 40}, {"print", 42}, {"ins", 45}, {"del", 46}, {"n0", 96}, {"n1", 97},
        {"n2", 98}, {"n3", 99}, {"n4", 100}, {"n5", 101}, {"n6", 102}, {"n7", 103},
        {"n8", 104}, {"n9", 105}, {"nasterisk", 106}, {"nplus", 107}, {"nenter", 108}, {"nminus", 109},
        {"ndel", 110}, {"nslash", 111}, {"f1", 112}, {"f2", 113}, {"f3", 114}, {"f4", 115},
        {"f5", 116}, {"f6", 117}, {"f7", 118}, {"f8", 119}, {"f9", 120}, {"f10", 121},
        {"f11", 122}, {"f12", 123}, {"colon", 186}, {"tilde", 192}, {"backslash", 220},
        {"android_back", 136}, {"android_menu", 137},
    };
    ASSERT_EQ(names.size(), 61u);
    for (const auto& [name, code] : names) EXPECT_EQ(KeyCodeFromName(name), code) << name;
}

TEST(KeyCodeFromName, SingleCharactersCaseAndMisses) {
    const std::vector<std::pair<const char*, int>> cases = {
        {"a", 65}, {"A", 65}, {"z", 90}, {"0", 48}, {"9", 57}, {"F1", 255}, {"", 255},
        {"Enter", 255}, {"f13", 255}, {"#", 255}, {"aa", 255}, {"n", 78}, {"f", 70},
    };
    for (const auto& [name, code] : cases) EXPECT_EQ(KeyCodeFromName(name), code) << name;
    EXPECT_EQ(KeyCodeFromName(nullptr), 255);
}

}  // namespace
