#include "core/input.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "core/config.h"
#include "platform/linux/window.h"

InputState g_input;

namespace {

struct KeyName {
    std::string_view name;
    int code;
};

constexpr KeyName kKeyNameList[] = {
    {"backspace", 8}, {"tab", 9}, {"ncenter", 12}, {"enter", 13},
    {"shift", 16}, {"lshift", 160}, {"rshift", 161},
    {"ctrl", 17}, {"lctrl", 162}, {"rctrl", 163},
    {"alt", 18}, {"lalt", 164}, {"ralt", 165},
    {"pause", 19}, {"capslock", 20}, {"esc", 27},
    {"space", 32}, {"pageup", 33}, {"pagedn", 34}, {"end", 35}, {"home", 36},
    {"left", 37}, {"up", 38}, {"right", 39}, {"down", 40},
    {"print", 42}, {"ins", 45}, {"del", 46},
    {"n0", 96}, {"n1", 97}, {"n2", 98}, {"n3", 99}, {"n4", 100},
    {"n5", 101}, {"n6", 102}, {"n7", 103}, {"n8", 104}, {"n9", 105},
    {"nasterisk", 106}, {"nplus", 107}, {"nenter", 108}, {"nminus", 109}, {"ndel", 110}, {"nslash", 111},
    {"f1", 112}, {"f2", 113}, {"f3", 114}, {"f4", 115}, {"f5", 116}, {"f6", 117},
    {"f7", 118}, {"f8", 119}, {"f9", 120}, {"f10", 121}, {"f11", 122}, {"f12", 123},
    {"colon", 186}, {"tilde", 192}, {"backslash", 220},
    {"android_back", 136}, {"android_menu", 137},
};

// Sorted once (byte-wise, as string_view compares) so lookups are a binary search.
const auto& SortedKeyNames() {
    static const auto sorted = [] {
        std::array<KeyName, std::size(kKeyNameList)> names{};
        std::copy(std::begin(kKeyNameList), std::end(kKeyNameList), names.begin());
        std::sort(names.begin(), names.end(), [](const KeyName& a, const KeyName& b) { return a.name < b.name; });
        return names;
    }();
    return sorted;
}

bool IsKeyCode(int value) { return value >= 0 && value < 256; }

MouseButtonState* Button(int value) {
    switch (value) {
        case 1: return &g_input.mouse.left;
        case 2: return &g_input.mouse.right;
        case 3: return &g_input.mouse.middle;
        default: return nullptr;
    }
}

void ClearButtonFlags() {
    for (int value = 1; value <= 3; ++value) {
        MouseButtonState& button = *Button(value);
        if (button.up) button.down = false;
        button.click = false;
        button.up = false;
    }
    g_input.mouse.wheel_up = false;
    g_input.mouse.wheel_down = false;
}

void AppendTypedCharacter(int code) {
    if (code < 32 || code > 255 || g_input.typed_length >= kTypedTextLimit) return;
    g_input.typed[g_input.typed_length++] = static_cast<char>(code);
    g_input.typed[g_input.typed_length] = '\0';
}

// The second finger of a two-finger event travels as the event right after it; that
// partner is consumed with it (applied on its own it would pair with whatever follows).
PinchPoints PairWithNext(std::size_t index) {
    const InputEvent& first = g_input.read_queue[index];
    const InputEvent* second = GetInputEvent(index + 1);
    if (!second) second = &first;
    return {static_cast<float>(first.x), static_cast<float>(first.y), static_cast<float>(second->x),
            static_cast<float>(second->y)};
}

void EndPinch(const PinchPoints& points) {
    TouchState& touch = g_input.touch;
    touch.pinch_previous = touch.pinch_current;
    touch.pinch_current = points;
    touch.pinching = false;
}

// Each returns how many events it used: 2 when a partner was paired.
std::size_t Paired(std::size_t index) { return GetInputEvent(index + 1) ? 2 : 1; }

std::size_t ApplyTouchBegin(std::size_t index) {
    const InputEvent& event = g_input.read_queue[index];
    MouseButtonState& left = g_input.mouse.left;
    TouchState& touch = g_input.touch;
    if (event.value == 1) {
        left.click = left.down = true;
        touch.pinching = touch.double_tap = false;
        return 1;
    }
    left.up = true;
    left.down = false;
    if (event.value != 2) return 1;
    touch.pinching = true;
    touch.pinch_start = touch.pinch_previous = touch.pinch_current = PairWithNext(index);
    return Paired(index);
}

std::size_t ApplyTouchMove(std::size_t index) {
    TouchState& touch = g_input.touch;
    if (g_input.read_queue[index].value == 2) {
        touch.pinch_previous = touch.pinch_current;
        touch.pinch_current = PairWithNext(index);
        return Paired(index);
    }
    if (touch.pinching) EndPinch({});
    return 1;
}

std::size_t ApplyTouchEnd(std::size_t index) {
    if (g_input.read_queue[index].value > 1) {
        EndPinch(PairWithNext(index));
        return Paired(index);
    }
    g_input.mouse.left.up = true;
    g_input.mouse.left.down = false;
    if (g_input.touch.pinching) EndPinch({});
    return 1;
}

void ApplyButton(const InputEvent& event) {
    MouseButtonState* button = Button(event.value);
    if (!button) return;
    if (event.type == kInputButtonDown) {
        button->click = button->down = true;
        return;
    }
    button->up = true;
    // A press and release within one frame keeps down until the next frame.
    if (!button->click) button->down = false;
}

void ApplyKey(const InputEvent& event) {
    if (!IsKeyCode(event.value)) return;
    KeyTables& keys = g_input.keys;
    if (event.type == kInputKeyDown) {
        keys.pressed[event.value] = event.repeat ? kKeyRepeated : kKeyPressed;
        keys.down[event.value] = kKeyHeld;
    } else {
        keys.released[event.value] = kKeyReleased;
        keys.down[event.value] = 0;
    }
}

bool CarriesPosition(int type) {
    return type == kInputButtonDown || type == kInputButtonUp || type >= kInputMouseMove;
}

std::size_t ApplyEvent(std::size_t index) {
    const InputEvent& event = g_input.read_queue[index];
    switch (event.type) {
        case kInputKeyDown:
        case kInputKeyUp: ApplyKey(event); break;
        case kInputCharacter: AppendTypedCharacter(event.value); break;
        case kInputButtonDown:
        case kInputButtonUp: ApplyButton(event); break;
        case kInputWheelUp: g_input.mouse.wheel_up = true; break;
        case kInputWheelDown: g_input.mouse.wheel_down = true; break;
        case kInputTouchBegin: return ApplyTouchBegin(index);
        case kInputTouchMove: return ApplyTouchMove(index);
        case kInputTouchEnd: return ApplyTouchEnd(index);
        default: break;
    }
    return 1;
}

// A degenerate mapping (no renderer yet) passes pixels through instead of dividing by 0.
int ToVirtual(int pixel, float offset, float scale) {
    const float value = scale > 0 ? (pixel - offset) / scale : static_cast<float>(pixel);
    return static_cast<int>(std::clamp(value, -1e9f, 1e9f));
}

void ParkCursor() {
    MouseState& mouse = g_input.mouse;
    const InputViewport& view = g_input.viewport;
    mouse.x = view.work_width;
    mouse.y = view.work_height;
    WarpMouseInWindow(static_cast<int>(mouse.x * view.scale_x + view.offset_x),
                      static_cast<int>(mouse.y * view.scale_y + view.offset_y));
}

}  // namespace

void QueueInputEvent(int type, int value, int x, int y, bool repeat) {
    if (!g_input.enabled) return;
    const InputViewport& view = g_input.viewport;
    g_input.write_queue.push_back(
        {type, value, ToVirtual(x, view.offset_x, view.scale_x), ToVirtual(y, view.offset_y, view.scale_y), repeat});
}

void SwapInputQueues() {
    g_input.read_queue.clear();
    std::swap(g_input.read_queue, g_input.write_queue);
}

const InputEvent* GetInputEvent(std::size_t index) {
    return index < g_input.read_queue.size() ? &g_input.read_queue[index] : nullptr;
}

std::size_t InputEventCount() { return g_input.read_queue.size(); }

bool ProcessInputEvents() {
    KeyTables& keys = g_input.keys;
    keys.pressed.fill(0);
    keys.released.fill(0);
    g_input.typed_length = 0;
    g_input.typed[0] = '\0';
    ClearButtonFlags();

    const InputEvent* lastPosition = nullptr;
    for (std::size_t i = 0; i < g_input.read_queue.size();) {
        for (const std::size_t end = i + ApplyEvent(i); i < end; ++i)
            if (CarriesPosition(g_input.read_queue[i].type)) lastPosition = &g_input.read_queue[i];
    }
    MouseState& mouse = g_input.mouse;
    if (lastPosition) {
        mouse.x = static_cast<float>(lastPosition->x) + mouse.offset_x;
        mouse.y = static_cast<float>(lastPosition->y) + mouse.offset_y;
    }
    if (mouse.block_out && !mouse.left.down && !mouse.left.up) ParkCursor();
    mouse.over_window = IsMouseInWindow(g_config.full_screen);
    return mouse.over_window;
}

int KeyCodeFromName(const char* name) {
    if (!name || !*name) return kNoKey;
    const std::string_view text(name);
    if (text.size() == 1) {
        const char c = text[0];
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return c;
        if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    }
    const auto& names = SortedKeyNames();
    const auto found = std::lower_bound(names.begin(), names.end(), text,
                                        [](const KeyName& entry, std::string_view key) { return entry.name < key; });
    return found != names.end() && found->name == text ? found->code : kNoKey;
}

void ResetInput() {
    g_input.keys = KeyTables{};
    g_input.typed_length = 0;
    g_input.typed[0] = '\0';
    for (int value = 1; value <= 3; ++value) *Button(value) = MouseButtonState{};
    g_input.mouse.wheel_up = g_input.mouse.wheel_down = false;
    g_input.touch = TouchState{};
}

void InitKeyTables() {
    g_input.keys = KeyTables{};
    g_input.typed_length = 0;
    g_input.typed[0] = '\0';
}

void InitMouseState() {
    g_input.mouse = MouseState{};
    g_input.touch = TouchState{};
}
