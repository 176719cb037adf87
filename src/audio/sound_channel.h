#pragma once
// One OpenAL source with two stream buffers of its own: it plays a decoded sample or a
// stream fed through its buffers in turn, at volume x master x fade level. Sound thread only.
//   SoundChannel::init / release        create / delete the OpenAL objects
//   SoundChannel::attachStream / Sample what to play next (stops what played)
//   SoundChannel::play / stop           start (a playing channel goes on) / stop and detach
//   SoundChannel::pause / resume        the focus change; resume plays only a paused source
//   SoundChannel::setVolume / setLoop   the channel's own volume and loop flag
//   SoundChannel::fadeOut / fadeIn      fades to silence (then stops) and from silence
//   SoundChannel::fadeBackIn            from the present level back to full
//   SoundChannel::update                advances the fade, refills the stream; false once stopped
//   FillStreamBuffer                    one buffer's worth of a stream, rewinding a looping one
//   FreeStreamScratchBuffer             the refill buffer, freed once the sound thread has ended
#include <memory>
#include <string>

#include "audio/sound_registry.h"
#include "audio/sound_stream.h"

inline constexpr int kStreamBufferBytes = 65536;

class SoundChannel {
public:
    SoundChannel() = default;
    ~SoundChannel();
    SoundChannel(const SoundChannel&) = delete;
    SoundChannel& operator=(const SoundChannel&) = delete;

    void init();
    void release();
    void stop();
    void attachStream(const std::string& streamName, const std::string& path);
    void attachSample(SoundEntry& entry);
    bool play();
    void pause();
    void resume();
    void setVolume(float newVolume);
    void setLoop(bool newLoop);
    void fadeOut(float seconds);
    void fadeIn(float seconds);
    // At the pace of a whole fade over fullLength, so the level never jumps.
    void fadeBackIn(float fullLength);
    bool update(float dt);

    // The sample's id, else the stream's name, else "".
    const std::string& getName() const;
    float fadeLevel() const;
    bool hasAttachment() const { return stream_ || sample_; }
    // AL_PLAYING, AL_PAUSED, AL_STOPPED or AL_INITIAL.
    int sourceState() const;
    bool isPlayingOrPaused() const;
    unsigned int source() const { return source_; }
    unsigned int buffer(int index) const { return buffers_[index]; }
    const SoundEntry* sample() const { return sample_; }
    VSoundStream* stream() const { return stream_.get(); }

    bool fading = false;
    float fadeFrom = 0;
    float fadeTo = 0;
    float fadeDuration = 0;
    float fadeElapsed = 0;
    float volume = 1;
    float master = 1;
    bool loop = false;

private:
    void startFade(float from, float to, float seconds);
    void refillStream();

    bool initialised_ = false;
    unsigned int buffers_[2] = {0, 0};
    unsigned int source_ = 0;
    std::unique_ptr<VSoundStream> stream_;
    SoundEntry* sample_ = nullptr;
};

bool FillStreamBuffer(VSoundStream& stream, unsigned int buffer, bool loop);
void FreeStreamScratchBuffer();
