#include "audio/sound_channel.h"

#include <AL/al.h>

#include "audio/openal_error.h"
#include "core/log.h"

namespace {

// Shared by every channel: each refill copies it into an OpenAL buffer at once.
std::unique_ptr<char[]> g_streamScratchBuffer;

const std::string kNoName;

}  // namespace

bool FillStreamBuffer(VSoundStream& stream, unsigned int buffer, bool loop) {
    if (!g_streamScratchBuffer) g_streamScratchBuffer = std::make_unique<char[]>(kStreamBufferBytes);
    char* scratch = g_streamScratchBuffer.get();
    int filled = stream.read(scratch, kStreamBufferBytes);
    if (loop) {
        if (filled != kStreamBufferBytes) {
            stream.rewind();
            filled += stream.read(scratch + filled, kStreamBufferBytes - filled);
        }
    } else if (filled == 0) {
        return false;
    }
    alBufferData(buffer, stream.format, scratch, filled, stream.rate);
    CheckOpenALError();
    return true;
}

void FreeStreamScratchBuffer() { g_streamScratchBuffer.reset(); }

SoundChannel::~SoundChannel() { release(); }

void SoundChannel::init() {
    if (initialised_) VELK_ERROR("INITIALIZED");
    alGenBuffers(2, buffers_);
    CheckOpenALError();
    alGenSources(1, &source_);
    CheckOpenALError();
    alSource3f(source_, AL_POSITION, 0, 0, 0);
    alSource3f(source_, AL_VELOCITY, 0, 0, 0);
    alSource3f(source_, AL_DIRECTION, 0, 0, 0);
    alSourcef(source_, AL_ROLLOFF_FACTOR, 0);
    alSourcei(source_, AL_SOURCE_RELATIVE, AL_TRUE);
    CheckOpenALError();
    volume = 1;
    master = 1;
    initialised_ = true;
    fading = false;
    loop = false;
}

void SoundChannel::release() {
    if (!initialised_) return;
    stop();
    alDeleteSources(1, &source_);
    alDeleteBuffers(2, buffers_);
    CheckOpenALError();
    initialised_ = false;
}

void SoundChannel::stop() {
    if (initialised_) {
        alSourceStop(source_);
        // Detaching unqueues the stream buffers and lets a released sample's buffer go.
        alSourcei(source_, AL_BUFFER, 0);
        CheckOpenALError();
    }
    stream_.reset();
    sample_ = nullptr;
}

void SoundChannel::attachStream(const std::string& streamName, const std::string& path) {
    if (!initialised_) init();
    stop();
    alSourcei(source_, AL_LOOPING, AL_FALSE);
    stream_ = CreateSoundStream(path);
    stream_->name = streamName;
    fading = false;
}

void SoundChannel::attachSample(SoundEntry& entry) {
    if (!initialised_) init();
    stop();
    alSourcei(source_, AL_LOOPING, AL_FALSE);
    if (!entry.loaded) entry.loadSample();
    fading = false;
    sample_ = &entry;
}

bool SoundChannel::play() {
    if (hasAttachment() && sourceState() == AL_PLAYING) return true;
    if (stream_) {
        alSourcei(source_, AL_BUFFER, 0);
        if (!FillStreamBuffer(*stream_, buffers_[0], loop)) return false;
        // A stream shorter than one buffer plays from the first alone.
        const int queued = FillStreamBuffer(*stream_, buffers_[1], loop) ? 2 : 1;
        alSourceQueueBuffers(source_, queued, buffers_);
        CheckOpenALError();
    } else if (sample_) {
        alSourcei(source_, AL_BUFFER, static_cast<ALint>(sample_->buffer));
    }
    alSourcePlay(source_);
    CheckOpenALError();
    return true;
}

void SoundChannel::pause() {
    if (isPlayingOrPaused()) alSourcePause(source_);
}

void SoundChannel::resume() {
    // A playing source would start again from its beginning.
    if (hasAttachment() && sourceState() == AL_PAUSED) alSourcePlay(source_);
}

void SoundChannel::setVolume(float newVolume) {
    volume = newVolume;
    if (!hasAttachment()) return;
    alSourcef(source_, AL_GAIN, volume * master * fadeLevel());
    CheckOpenALError();
}

void SoundChannel::setLoop(bool newLoop) {
    if (stream_) {
        alSourcei(source_, AL_LOOPING, AL_FALSE);
        loop = newLoop;
    } else {
        alSourcei(source_, AL_LOOPING, newLoop ? AL_TRUE : AL_FALSE);
    }
    CheckOpenALError();
}

void SoundChannel::startFade(float from, float to, float seconds) {
    fading = true;
    fadeFrom = from;
    fadeTo = to;
    fadeElapsed = 0;
    fadeDuration = seconds;
}

void SoundChannel::fadeOut(float seconds) {
    if (!(seconds >= 0)) seconds = 1;
    if (seconds == 0) {
        stop();
        return;
    }
    if (fading && fadeTo == 0) return;  // a fade-out keeps its own length
    if (!fading) {
        startFade(1, 0, seconds);
        return;
    }
    // A rising fade turns back down from where it is, at the pace it rose.
    const float level = fadeLevel();
    const float pace = fadeDuration > 0 ? (fadeTo - fadeFrom) / fadeDuration : 0;
    startFade(level, 0, pace > 0 ? level / pace : level * seconds);
}

void SoundChannel::fadeIn(float seconds) { startFade(0, 1, seconds); }

void SoundChannel::fadeBackIn(float fullLength) {
    if (!fading) return;
    const float level = fadeLevel();
    if (level >= 1) {
        fading = false;
        return;
    }
    startFade(level, 1, (1 - level) * fullLength);
}

float SoundChannel::fadeLevel() const {
    if (!fading) return 1;
    if (!(fadeDuration > 0)) return fadeTo;
    return fadeFrom + fadeElapsed / fadeDuration * (fadeTo - fadeFrom);
}

void SoundChannel::refillStream() {
    ALint processed = 0;
    alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source_, 1, &buffer);
        CheckOpenALError();
        // A finished stream that does not loop is not requeued: the source plays out.
        if (FillStreamBuffer(*stream_, buffer, loop)) {
            alSourceQueueBuffers(source_, 1, &buffer);
            CheckOpenALError();
        }
    }
}

bool SoundChannel::update(float dt) {
    if (!hasAttachment()) return false;
    if (fading) {
        fadeElapsed += dt;
        if (fadeElapsed > fadeDuration) {
            fading = false;
            fadeElapsed = fadeDuration;
            if (fadeTo == 0) {
                stop();
                return false;
            }
        }
        setVolume(volume);
    }
    if (stream_) refillStream();
    if (sourceState() == AL_STOPPED) {
        stop();
        return false;
    }
    return true;
}

const std::string& SoundChannel::getName() const {
    if (sample_) return sample_->id;
    if (stream_) return stream_->name;
    return kNoName;
}

int SoundChannel::sourceState() const {
    ALint state = AL_INITIAL;
    alGetSourcei(source_, AL_SOURCE_STATE, &state);
    return state;
}

bool SoundChannel::isPlayingOrPaused() const {
    if (!hasAttachment()) return false;
    const int state = sourceState();
    return state == AL_PLAYING || state == AL_PAUSED;
}
