#pragma once
// Window input as queued events, turned once per frame into key tables, typed text and
// mouse state.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/linux/input_event.h"

inline constexpr uint8_t kKeyPressed = 2;
inline constexpr uint8_t kKeyRepeated = 3;
inline constexpr uint8_t kKeyHeld = 4;
inline constexpr uint8_t kKeyReleased = 1;
inline constexpr int kNoKey = 255;
inline constexpr std::size_t kTypedTextLimit = 40;

struct KeyTables {
    std::array<uint8_t, 256> pressed{};
    std::array<uint8_t, 256> down{};
    std::array<uint8_t, 256> released{};
};

struct MouseButtonState {
    bool down = false;
    bool click = false;
    bool up = false;
};

struct MouseState {
    float x = 0, y = 0;
    float offset_x = 0, offset_y = 0;
    MouseButtonState left, right, middle;
    bool wheel_up = false;
    bool wheel_down = false;
    bool over_window = true;
    bool block_out = false;
};

// Two fingers as x1, y1, x2, y2.
using PinchPoints = std::array<float, 4>;

struct TouchState {
    bool pinching = false;
    PinchPoints pinch_start{}, pinch_previous{}, pinch_current{};
    bool double_tap = false;
};

// How window pixels map to the virtual resolution; the renderer fills it whenever it
// recomputes its letterbox.
struct InputViewport {
    float scale_x = 1, scale_y = 1;
    float offset_x = 0, offset_y = 0;
    // The drawing area in virtual pixels (the cursor is parked at its bottom-right corner).
    float work_width = 1024, work_height = 768;
};

struct InputState {
    KeyTables keys;
    std::array<char, kTypedTextLimit + 1> typed{};
    std::size_t typed_length = 0;
    MouseState mouse;
    TouchState touch;
    bool enabled = true;
    InputViewport viewport;
    std::vector<InputEvent> write_queue;
    std::vector<InputEvent> read_queue;
};

extern InputState g_input;

// x and y in window client pixels; dropped while input is disabled.
void QueueInputEvent(int type, int value, int x, int y, bool repeat);
void SwapInputQueues();
bool ProcessInputEvents();
// The frame's events (the read queue); null past the end.
const InputEvent* GetInputEvent(std::size_t index);
std::size_t InputEventCount();

int KeyCodeFromName(const char* name);
void ResetInput();
void InitKeyTables();
void InitMouseState();
