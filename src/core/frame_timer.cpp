#include "core/frame_timer.h"

#include <numeric>

#include "platform/linux/clock.h"

namespace {

constexpr double kLongestSample = 2.0;
constexpr int kFewestFpsSamples = 10;

}  // namespace

FrameTimer::FrameTimer(Clock clock) {
    samples.fill(1 / 60.0);
    SetClock(clock);
}

void FrameTimer::SetClock(Clock clock) {
    clock_ = clock ? clock : TimeGetTime;
    last_raw_ = clock_();
    unwrapped_ = last_raw_;
}

double FrameTimer::Counter() {
    const uint32_t raw = clock_();
    unwrapped_ += static_cast<uint32_t>(raw - last_raw_);
    last_raw_ = raw;
    return static_cast<double>(unwrapped_);
}

double FrameTimer::Now() { return (Counter() - start) / divisor; }

double FrameTimer::SystemTime() const { return clock_() / divisor; }

double FrameTimer::Advance() {
    const double t = Now();
    dt = t > time ? t - time : 0.0;
    time = t;
    if (dt > max_step) dt = max_step;
    return dt;
}

void FrameTimer::RecordFrame(double step) {
    AddSample(step);
    fps = ComputeFps();
    if (time - shown_at > 1) {
        fps_shown = fps;
        shown_at = time;
    }
}

double FrameTimer::Tick() {
    Advance();
    RecordFrame(dt);
    return dt;
}

void FrameTimer::Reset() {
    time = Now();
    dt = 0.001;
}

void FrameTimer::AddSample(double step) {
    if (step <= 0 || step > kLongestSample) return;
    if (++newest < kRingSize) {
        sum += step - samples[newest];
        samples[newest] = step;
        return;
    }
    newest = 0;
    samples[0] = step;
    sum = std::accumulate(samples.begin(), samples.end(), 0.0);
}

double FrameTimer::ComputeFps() const {
    double total = 0;
    int count = 0;
    int index = newest;
    while (count < kFewestFpsSamples || total < 1.0) {
        total += samples[index];
        ++count;
        index = index == 0 ? kRingSize - 1 : index - 1;
    }
    return count / total;
}

FrameTimer& GetFrameTimer() {
    static FrameTimer timer;
    return timer;
}
