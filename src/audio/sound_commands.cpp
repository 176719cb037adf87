#include "audio/sound_commands.h"

std::atomic<bool> AudioDisabled{false};
std::condition_variable SoundCondition;

void SoundCommandQueue::push(const SoundCommand& command) {
    const std::lock_guard lock(mutex_);
    commands_.push_back(command);
}

bool SoundCommandQueue::pop(SoundCommand& command) {
    const std::lock_guard lock(mutex_);
    if (commands_.empty()) return false;
    command = std::move(commands_.front());
    commands_.pop_front();
    return true;
}

void SoundCommandQueue::clear() {
    const std::lock_guard lock(mutex_);
    commands_.clear();
}

SoundCommandQueue& GetSoundCommandQueue() {
    static SoundCommandQueue queue;
    return queue;
}

void PushSoundCommand(const SoundCommand& command) {
    if (AudioDisabled.load()) return;
    GetSoundCommandQueue().push(command);
    // Not under SoundMutex: the sound thread holds it while it decodes, and a request
    // must never wait for that. A wake-up lost meanwhile only waits for the next tick.
    SoundCondition.notify_one();
}

void QueueLoadSounds(const std::string& pattern) { PushSoundCommand({kSoundLoadSounds, pattern, false, 0}); }

void QueueReleaseSounds(const std::string& pattern) { PushSoundCommand({kSoundReleaseSounds, pattern, false, 0}); }

void QueueSoundsPaused(bool paused) { PushSoundCommand({kSoundPause, "", paused, 0}); }

void QueuePlaySound(const std::string& id, bool loop, float volume) {
    PushSoundCommand({kSoundPlaySound, id, loop, volume});
}

void QueueStopSound(const std::string& request) { PushSoundCommand({kSoundStopSound, request, false, 0}); }

void QueuePlayMusic(const std::string& name, bool loop, float volume) {
    PushSoundCommand({kSoundPlayMusic, name, loop, volume});
}

void QueueStopMusic(float seconds) { PushSoundCommand({kSoundStopMusic, "", false, seconds}); }

void QueueSoundVolume(float volume) { PushSoundCommand({kSoundVolume, "", false, volume}); }

void QueueMusicVolume(float volume) { PushSoundCommand({kSoundMusicVolume, "", false, volume}); }
