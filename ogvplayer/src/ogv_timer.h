#pragma once
// OgvTimer: the clock a clip's frames are timed against.
//   update(dt)       time += dt x speed unless paused
//   pause / play / isPaused
//   setSpeed / getSpeed
//   seek(time)       sets the time
class OgvTimer {
public:
    virtual ~OgvTimer() = default;
    virtual float getTime() const { return time_; }
    virtual void update(float seconds);
    virtual void pause() { paused_ = true; }
    virtual void play() { paused_ = false; }
    virtual bool isPaused() const { return paused_; }
    virtual void setSpeed(float speed) { speed_ = speed; }
    virtual float getSpeed() const { return speed_; }
    virtual void seek(float time) { time_ = time; }

private:
    float time_ = 0.0f;
    float speed_ = 1.0f;
    bool paused_ = false;
};
