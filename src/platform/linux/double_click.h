#pragma once
// Tells the second press of a double click the way the window system the games were made
// for does: the same button again, within the double-click time and a 4 x 4-pixel
// rectangle around the first press. SDL's own count allows about 32 pixels, which turned
// quick clicks on neighbouring spots into double clicks.
//   DoubleClickWatch::Press  true when a press completes a double click
#include <cstdint>

inline constexpr uint32_t kDoubleClickTimeMs = 500;
inline constexpr int kDoubleClickRectangle = 4;

class DoubleClickWatch {
public:
    // A press of button at window pixel (x, y), at timeMs of a wrapping millisecond clock.
    // A completed double click starts the count over, so a third press is a press again.
    bool Press(int button, int x, int y, uint32_t timeMs);

private:
    bool armed_ = false;
    int button_ = 0;
    int x_ = 0, y_ = 0;
    uint32_t time_ = 0;
};
