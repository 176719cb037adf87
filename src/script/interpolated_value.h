#pragma once
// A float that is either set at once or animated through time-sorted key frames.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum Easing : uint8_t {
    kEasingDefault = 0,  // a key frame's "use the value's default easing"
    kEasingLinear = 1,
    kEasingCosine = 2,
    kEasingAccelerate = 3,
    kEasingDecelerate = 4,
};

struct KeyFrame {
    float time;
    float value;
    uint8_t easing;
};

class InterpolatedValue {
public:
    explicit InterpolatedValue(float initial = 0) : value_(initial) {}

    void setImmediate(float v);
    // Space-separated tokens: options ("loop", "ping", an easing word), then key frames
    // "time=value" ("+time" relative to the previous one), each optionally followed by
    // the easing word of the segment it starts. Starts the animation.
    void parse(const std::string& spec);
    // Key frames with a non-finite time or value are ignored (returns false).
    bool addKeyFrame(float time, float value, uint8_t easing);
    void start();
    // Most values of a scene hold still: those return before a call.
    void update(float dt) {
        if (!finished_) advance(dt);
    }

    float value() const { return value_; }
    bool isInterpolating() const { return !finished_; }
    bool finished() const { return finished_; }
    const std::vector<KeyFrame>& keyFrames() const;
    bool loops() const { return track_ && track_->loop; }
    bool pings() const { return track_ && track_->ping; }
    uint8_t defaultEasing() const { return track_ ? track_->easing : uint8_t{kEasingLinear}; }

private:
    // What only an animated value needs, kept apart: objects hold several values each,
    // and a frame over many objects reads every value's state.
    struct Track {
        std::vector<KeyFrame> keyFrames;
        float time = 0;
        int segment = -1;
        bool forward = true;
        bool loop = false;
        bool ping = false;
        uint8_t easing = kEasingLinear;
    };

    Track& track();
    void advance(float dt);
    // Steps 3 and 4 of the tick; false when the tick ends there.
    bool handleEnd();
    bool handleStart();
    int findSegment() const;
    void interpolate();

    float value_;
    bool finished_ = true;
    std::unique_ptr<Track> track_;
};
