#include "audio/sound_system.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <cmath>
#include <cstring>

#include "audio/music_stopped_notice.h"
#include "core/log.h"
#include "storage/storage.h"
#include "storage/storage_path.h"

namespace {

bool IsSoundExtension(const char* extension) {
    return std::strcmp(extension, "ogg") == 0 || std::strcmp(extension, "wav") == 0;
}

// The request's text before its first '*' begins the channel's name; "" begins every name.
bool NameBeginsWith(const std::string& name, const std::string& request) {
    const std::size_t star = request.find('*');
    const std::size_t length = star == std::string::npos ? request.size() : star;
    return name.size() >= length && name.compare(0, length, request, 0, length) == 0;
}

// NaN and the infinities are silence: OpenAL refuses such a gain (the source would keep
// the one it had) and the volume getters would show them.
float FiniteVolume(float volume) { return std::isfinite(volume) ? volume : 0; }

}  // namespace

SoundSystem::~SoundSystem() {
    if (!initialised_) return;
    ReleaseSounds("*");
    shutdownOpenAL();
}

bool SoundSystem::init() {
    if (initialised_) return true;
    if (!initOpenAL()) return false;
    for (SoundChannel& channel : soundChannels_) channel.init();
    for (SoundChannel& channel : musicChannels_) channel.init();
    initialised_ = true;
    return true;
}

bool SoundSystem::initOpenAL() {
    device_ = alcOpenDevice(nullptr);
    if (!device_) {
        LogPrintf("Failed to alcOpenDevice\n");
        return false;
    }
    context_ = alcCreateContext(device_, nullptr);
    if (!context_) VELK_ERROR("Failed to alcCreateContext\n");
    alcGetError(device_);
    alcMakeContextCurrent(context_);
    if (alcGetError(device_) != ALC_NO_ERROR) VELK_ERROR("Failed to alcMakeContextCurrent\n");
    const ALfloat orientation[] = {0, 1, 0, 0, 0, 1};
    alListener3f(AL_POSITION, 0, 0, 0);
    alListenerfv(AL_ORIENTATION, orientation);
    alListener3f(AL_VELOCITY, 0, 0, 0);
    return alcGetError(device_) == ALC_NO_ERROR;
}

void SoundSystem::shutdownOpenAL() {
    for (SoundChannel& channel : soundChannels_) channel.release();
    for (SoundChannel& channel : musicChannels_) channel.release();
    registry_.clear();
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context_);
    alcCloseDevice(device_);
    context_ = nullptr;
    device_ = nullptr;
    initialised_ = false;
}

void SoundSystem::update(float dt) {
    if (!initialised_ || dt < 0) return;
    for (SoundChannel& channel : soundChannels_) channel.update(dt);
    SoundChannel& current = musicChannels_[currentMusicChannel_];
    MusicStoppedNotice& notice = g_musicStoppedNotice;
    const bool alive = current.update(dt);
    if (notice.armed && !alive) {
        notice.armed = false;
        notice.name = notice.pending;
        notice.stopped.store(true);
    }
    musicChannels_[1 - currentMusicChannel_].update(dt);
}

void SoundSystem::loadSounds(const std::string& pattern) {
    if (!initialised_) return;
    FileInfoMap found;
    SearchFiles(pattern, found, true, true);
    const std::string directory = GetDirectory(pattern);
    for (const auto& [name, info] : found) {
        if (name.empty() || name[0] == '.') continue;
        if (info.size == -1) {
            loadSounds(directory + "/" + name + "/*");
            continue;
        }
        const char* extension = FindExtension(name.c_str());
        if (extension && IsSoundExtension(extension)) registerFile(directory, name, info.size);
    }
}

void SoundSystem::registerFile(const std::string& directory, const std::string& name, int32_t size) {
    const std::string id = RemoveExtension(name);
    if (registry_.HasSound(id)) {
        LogPrintf("Trying to add sound with already existing id '%s'", id.c_str());
        return;
    }
    const std::string path = directory + "/" + name;
    // Sounds are read in place from a folder; a packed copy alone could not be played.
    if (!FileExistsDirectly(path)) {
        LogPrintf("Sound '%s' is not in a data folder: skipped", path.c_str());
        return;
    }
    auto entry = std::make_unique<SoundEntry>();
    entry->stream = name.ends_with(".ogg") ? size >= kOggStreamSize : size >= kWaveStreamSize;
    entry->path = path;
    entry->id = id;
    registry_.add(std::move(entry));
}

bool SoundSystem::isHeldByChannel(const SoundEntry& entry) const {
    for (const SoundChannel& channel : soundChannels_)
        if (channel.sample() == &entry) return true;
    return false;
}

void SoundSystem::ReleaseSounds(const std::string& pattern) {
    for (const auto& [id, entry] : registry_.entries()) {
        if (!WildcardMatch(pattern, id) || isHeldByChannel(*entry) || entry->stream) continue;
        entry->unload();
    }
}

void SoundSystem::PlaySound(const std::string& id, bool loop, float volume) {
    if (!initialised_) return;
    SoundEntry* entry = registry_.FindSound(id);
    if (!entry) {
        VELK_WARNING("sound <%s> not found", id.c_str());
        return;
    }
    SoundChannel* free = nullptr;
    for (SoundChannel& channel : soundChannels_) {
        if (!channel.isPlayingOrPaused()) {
            free = &channel;
            break;
        }
    }
    if (!free) return;
    if (entry->stream) {
        free->attachStream(id, entry->path);
    } else {
        free->attachSample(*entry);
    }
    const float finite = FiniteVolume(volume);
    free->setVolume(finite < 0 ? 1 : finite);
    free->setLoop(loop);
    free->play();
}

bool SoundSystem::matches(const SoundChannel& channel, const std::string& request) const {
    return channel.hasAttachment() && channel.sourceState() == AL_PLAYING && NameBeginsWith(channel.getName(), request);
}

void SoundSystem::StopSound(const std::string& request) {
    for (SoundChannel& channel : soundChannels_)
        if (matches(channel, request)) channel.stop();
}

bool SoundSystem::IsSoundPlaying(const std::string& request) const {
    for (const SoundChannel& channel : soundChannels_)
        if (matches(channel, request)) return true;
    return false;
}

void SoundSystem::SetSoundsPaused(bool paused) {
    for (SoundChannel& channel : soundChannels_) paused ? channel.pause() : channel.resume();
    for (SoundChannel& channel : musicChannels_) paused ? channel.pause() : channel.resume();
}

void SoundSystem::playMusic(const std::string& name, bool loop, float volume) {
    if (!initialised_) return;
    const std::string path = RemoveExtension(name) + ".ogg";
    if (name.empty() || !FileExistsDirectly(path)) {
        VELK_WARNING("playMusic(\"%s\") failed", name.c_str());
        return;
    }
    SoundChannel& current = musicChannels_[currentMusicChannel_];
    if (current.getName() == name) {
        current.fadeBackIn(musicFadeTime);
        current.setVolume(FiniteVolume(volume));
        current.setLoop(loop);
        return;
    }
    // Kept from here: a stop at once leaves the channel without a name before its tick.
    g_musicStoppedNotice.armed = true;
    g_musicStoppedNotice.pending = name;
    current.fadeOut(musicFadeTime);
    SoundChannel& next = musicChannels_[1 - currentMusicChannel_];
    next.attachStream(name, path);
    // Silent from the start: the fade sets the level before the first tick does.
    next.fadeIn(musicFadeTime);
    next.setVolume(FiniteVolume(volume));
    next.setLoop(loop);
    next.play();
    currentMusicChannel_ = 1 - currentMusicChannel_;
}

void SoundSystem::stopMusic(float seconds) {
    for (SoundChannel& channel : musicChannels_) channel.fadeOut(seconds);
}

void SoundSystem::setSoundVolume(float given) {
    const float volume = FiniteVolume(given);
    soundVolume.store(volume);
    if (!initialised_) return;
    for (SoundChannel& channel : soundChannels_) {
        channel.master = volume;
        channel.setVolume(channel.volume);
    }
}

void SoundSystem::SetMusicVolume(float given) {
    const float volume = FiniteVolume(given);
    musicVolume.store(volume);
    for (SoundChannel& channel : musicChannels_) {
        channel.master = volume;
        channel.setVolume(channel.volume);
    }
}
