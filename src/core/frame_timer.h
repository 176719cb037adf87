#pragma once
// The frame clock: dt (clamped), running time and frames per second over the last second.
#include <array>
#include <cstdint>

class FrameTimer {
public:
    static constexpr int kRingSize = 400;
    using Clock = uint32_t (*)();

    explicit FrameTimer(Clock clock = nullptr);

    // Unwrapped millisecond count: the 32-bit counter's differences are summed in 64 bits,
    // so a wrap of the system counter never turns into a negative or a huge step.
    double Counter();
    // Seconds since start, read now.
    double Now();
    // The system counter in seconds, not relative to start.
    double SystemTime() const;

    double Tick();
    // Tick's clock half: advances time and returns the clamped step without sampling it.
    double Advance();
    // Tick's rate half: one sample for one displayed frame, then the rate is refreshed.
    void RecordFrame(double step);
    void Reset();
    void AddSample(double step);
    double ComputeFps() const;

    // Tests drive the clock; the unwrapped count restarts at the new clock's value.
    void SetClock(Clock clock);

    double divisor = 1000;
    double start = 0;
    double dt = 0;
    double time = 0;
    double max_step = 0.1;
    int newest = 0;
    std::array<double, kRingSize> samples;
    double sum = kRingSize / 60.0;
    double fps = 1 / 60.0;
    double fps_shown = 1 / 60.0;
    double shown_at = 0;

private:
    Clock clock_;
    uint32_t last_raw_ = 0;
    uint64_t unwrapped_ = 0;
};

FrameTimer& GetFrameTimer();
