#include "platform/linux/double_click.h"

#include <cstdlib>
#include <cstdint>

namespace {

bool Near(int a, int b) { return std::llabs(int64_t{a} - b) < kDoubleClickRectangle; }

}  // namespace

bool DoubleClickWatch::Press(int button, int x, int y, uint32_t timeMs) {
    const bool second = armed_ && button == button_ && timeMs - time_ < kDoubleClickTimeMs &&
                        Near(x, x_) && Near(y, y_);
    armed_ = !second;
    button_ = button;
    x_ = x;
    y_ = y;
    time_ = timeMs;
    return second;
}
