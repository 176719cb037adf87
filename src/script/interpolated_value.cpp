#include "script/interpolated_value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <list>

#include "core/string_utils.h"

namespace {

constexpr long double kPi = 3.1415927L;

uint8_t EasingWord(const std::string& token) {
    if (token == "cosine") return kEasingCosine;
    if (token == "accelerate") return kEasingAccelerate;
    if (token == "decelerate") return kEasingDecelerate;
    return kEasingDefault;
}

bool ReadKeyFrame(const std::string& token, float& time, float& value) {
    return std::sscanf(token.c_str(), "%f=%f", &time, &value) == 2;
}

long double Ease(uint8_t easing, long double u) {
    switch (easing) {
        case kEasingCosine: return 0.5L - 0.5L * std::cos(u * kPi);
        case kEasingAccelerate: return u * u;
        case kEasingDecelerate: return 1 - (1 - u) * (1 - u);
        default: return u;
    }
}

}  // namespace

void InterpolatedValue::setImmediate(float v) {
    value_ = v;
    keyFrames_.clear();
    time_ = 0;
    segment_ = -1;
    forward_ = true;
    finished_ = true;
    loop_ = false;
    ping_ = false;
    easing_ = kEasingLinear;
}

void InterpolatedValue::parse(const std::string& spec) {
    setImmediate(0);
    std::list<std::string> tokens;
    SplitToList(spec, " ", tokens);
    float previousTime = 0;
    bool keyFrameRead = false;
    for (auto token = tokens.begin(); token != tokens.end(); ++token) {
        if (!keyFrameRead) {
            if (*token == "loop") { loop_ = true; continue; }
            if (*token == "ping") { ping_ = true; continue; }
            if (const uint8_t easing = EasingWord(*token)) { easing_ = easing; continue; }
        }
        float time = 0, value = 0;
        if (!ReadKeyFrame(*token, time, value)) continue;
        keyFrameRead = true;
        if (token->front() == '+') time += previousTime;
        uint8_t easing = kEasingDefault;
        if (const auto next = std::next(token); next != tokens.end() && (easing = EasingWord(*next))) token = next;
        if (addKeyFrame(time, value, easing)) previousTime = time;
    }
    start();
}

bool InterpolatedValue::addKeyFrame(float time, float value, uint8_t easing) {
    if (!std::isfinite(time) || !std::isfinite(value)) return false;
    const auto later = std::upper_bound(keyFrames_.begin(), keyFrames_.end(), time,
                                        [](float t, const KeyFrame& frame) { return t < frame.time; });
    keyFrames_.insert(later, KeyFrame{time, value, easing});
    return true;
}

void InterpolatedValue::start() {
    if (keyFrames_.size() < 2) return;
    finished_ = false;
    time_ = 0;
    segment_ = -1;
    forward_ = true;
    value_ = keyFrames_.front().value;
}

void InterpolatedValue::advance(float dt) {
    if (!std::isfinite(dt)) return;
    time_ += forward_ ? dt : -dt;
    if (handleEnd() && handleStart()) interpolate();
}

bool InterpolatedValue::handleEnd() {
    const KeyFrame& last = keyFrames_.back();
    if (last.time > time_) return true;
    value_ = last.value;
    if (ping_) {
        forward_ = false;
        return false;
    }
    // Without a positive period there is nothing to repeat: hold the last value.
    if (!loop_ || last.time <= 0) {
        finished_ = true;
        return false;
    }
    time_ = std::fmod(time_, last.time);
    return true;
}

bool InterpolatedValue::handleStart() {
    const KeyFrame& first = keyFrames_.front();
    if (first.time < time_) return true;
    value_ = first.value;
    if (!ping_) return false;
    if (loop_) {
        forward_ = true;
        return true;
    }
    if (!forward_) {
        finished_ = true;
        return false;
    }
    return true;
}

int InterpolatedValue::findSegment() const {
    const int last = static_cast<int>(keyFrames_.size()) - 1;
    if (segment_ >= 0 && segment_ < last && keyFrames_[segment_].time <= time_ &&
        time_ <= keyFrames_[segment_ + 1].time)
        return segment_;
    // The first segment whose end is not before the playback position.
    const auto end = std::lower_bound(keyFrames_.begin() + 1, keyFrames_.end(), time_,
                                      [](const KeyFrame& frame, float t) { return frame.time < t; });
    return std::min(static_cast<int>(end - keyFrames_.begin()), last) - 1;
}

void InterpolatedValue::interpolate() {
    segment_ = findSegment();
    const KeyFrame& a = keyFrames_[segment_];
    const KeyFrame& b = keyFrames_[segment_ + 1];
    const long double span = static_cast<long double>(b.time) - a.time;
    // A segment of no length has already arrived at its later key frame.
    if (span <= 0) {
        value_ = b.value;
        return;
    }
    const long double u = std::clamp((time_ - static_cast<long double>(a.time)) / span, 0.0L, 1.0L);
    const uint8_t easing = a.easing == kEasingDefault ? easing_ : a.easing;
    value_ = static_cast<float>(a.value + Ease(easing, u) * (static_cast<long double>(b.value) - a.value));
}
