#include "script/interpolated_value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <list>
#include <utility>

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
    finished_ = true;
    if (!track_) return;
    // The track stays for the next animation, with its key frames' room.
    std::vector<KeyFrame> room = std::move(track_->keyFrames);
    room.clear();
    *track_ = Track{};
    track_->keyFrames = std::move(room);
}

InterpolatedValue::Track& InterpolatedValue::track() {
    if (!track_) track_ = std::make_unique<Track>();
    return *track_;
}

const std::vector<KeyFrame>& InterpolatedValue::keyFrames() const {
    static const std::vector<KeyFrame> kNone;
    return track_ ? track_->keyFrames : kNone;
}

void InterpolatedValue::parse(const std::string& spec) {
    setImmediate(0);
    Track& t = track();
    std::list<std::string> tokens;
    SplitToList(spec, " ", tokens);
    float previousTime = 0;
    bool keyFrameRead = false;
    for (auto token = tokens.begin(); token != tokens.end(); ++token) {
        if (!keyFrameRead) {
            if (*token == "loop") { t.loop = true; continue; }
            if (*token == "ping") { t.ping = true; continue; }
            if (const uint8_t easing = EasingWord(*token)) { t.easing = easing; continue; }
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
    std::vector<KeyFrame>& frames = track().keyFrames;
    const auto later = std::upper_bound(frames.begin(), frames.end(), time,
                                        [](float t, const KeyFrame& frame) { return t < frame.time; });
    frames.insert(later, KeyFrame{time, value, easing});
    return true;
}

void InterpolatedValue::start() {
    if (!track_ || track_->keyFrames.size() < 2) return;
    finished_ = false;
    track_->time = 0;
    track_->segment = -1;
    track_->forward = true;
    value_ = track_->keyFrames.front().value;
}

void InterpolatedValue::advance(float dt) {
    if (!std::isfinite(dt)) return;
    track_->time += track_->forward ? dt : -dt;
    if (handleEnd() && handleStart()) interpolate();
}

bool InterpolatedValue::handleEnd() {
    Track& t = *track_;
    const KeyFrame& last = t.keyFrames.back();
    if (last.time > t.time) return true;
    value_ = last.value;
    if (t.ping) {
        t.forward = false;
        return false;
    }
    // Without a positive period there is nothing to repeat: hold the last value.
    if (!t.loop || last.time <= 0) {
        finished_ = true;
        return false;
    }
    t.time = std::fmod(t.time, last.time);
    return true;
}

bool InterpolatedValue::handleStart() {
    Track& t = *track_;
    const KeyFrame& first = t.keyFrames.front();
    if (first.time < t.time) return true;
    value_ = first.value;
    if (!t.ping) return false;
    if (t.loop) {
        t.forward = true;
        return true;
    }
    if (!t.forward) {
        finished_ = true;
        return false;
    }
    return true;
}

int InterpolatedValue::findSegment() const {
    const Track& t = *track_;
    const std::vector<KeyFrame>& frames = t.keyFrames;
    const int last = static_cast<int>(frames.size()) - 1;
    if (t.segment >= 0 && t.segment < last && frames[t.segment].time <= t.time && t.time <= frames[t.segment + 1].time)
        return t.segment;
    // The first segment whose end is not before the playback position.
    const auto end = std::lower_bound(frames.begin() + 1, frames.end(), t.time,
                                      [](const KeyFrame& frame, float time) { return frame.time < time; });
    return std::min(static_cast<int>(end - frames.begin()), last) - 1;
}

void InterpolatedValue::interpolate() {
    Track& t = *track_;
    t.segment = findSegment();
    const KeyFrame& a = t.keyFrames[t.segment];
    const KeyFrame& b = t.keyFrames[t.segment + 1];
    const long double span = static_cast<long double>(b.time) - a.time;
    // A segment of no length has already arrived at its later key frame.
    if (span <= 0) {
        value_ = b.value;
        return;
    }
    const long double u = std::clamp((t.time - static_cast<long double>(a.time)) / span, 0.0L, 1.0L);
    const uint8_t easing = a.easing == kEasingDefault ? t.easing : a.easing;
    value_ = static_cast<float>(a.value + Ease(easing, u) * (static_cast<long double>(b.value) - a.value));
}
