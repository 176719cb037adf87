#pragma once
// One window input event as the event pump reports it (window client pixels).

enum InputEventType {
    kInputKeyDown = 1,
    kInputKeyUp = 2,
    kInputCharacter = 3,
    kInputButtonDown = 4,
    kInputButtonUp = 5,
    kInputWheelUp = 6,
    kInputWheelDown = 7,
    kInputMouseMove = 8,
    kInputTouchBegin = 9,
    kInputTouchMove = 10,
    kInputTouchEnd = 11,
};

struct InputEvent {
    int type = 0;
    int value = 0;
    int x = 0;
    int y = 0;
    bool repeat = false;
};
