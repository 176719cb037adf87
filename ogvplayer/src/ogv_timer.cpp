#include "ogv_timer.h"

void OgvTimer::update(float seconds) {
    if (!paused_) time_ += seconds * speed_;
}
