#pragma once
// The main thread's side of sound: every request becomes a SoundCommand, copied into
// the queue, and the sound thread is woken. Nothing is returned or reported back.
//   SoundCommand / SoundCommandType   one request
//   SoundCommandQueue                 first in, first out, under its own mutex
//   AudioDisabled                     set: every request returns at once
//   SoundCondition                    what the sound thread sleeps on between ticks
//   PushSoundCommand                  queues a copy and wakes the thread
//   QueueLoadSounds .. QueueMusicVolume   build one command each and push it
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

enum SoundCommandType {
    kSoundShutdown = 1,
    kSoundLoadSounds,
    kSoundReleaseSounds,
    kSoundPause,
    kSoundPlaySound,
    kSoundStopSound,
    kSoundPlayMusic,
    kSoundStopMusic,
    kSoundNoOperation,
    kSoundVolume,
    kSoundMusicVolume,
};

struct SoundCommand {
    int type = 0;
    std::string name;
    bool flag = false;  // loop, or pause
    float value = 0;    // volume, or fade seconds
};

class SoundCommandQueue {
public:
    void push(const SoundCommand& command);
    // Copies the front command out and removes it; false when the queue is empty.
    bool pop(SoundCommand& command);
    void clear();

private:
    std::mutex mutex_;
    std::deque<SoundCommand> commands_;
};

SoundCommandQueue& GetSoundCommandQueue();

extern std::atomic<bool> AudioDisabled;
extern std::condition_variable SoundCondition;

void PushSoundCommand(const SoundCommand& command);
void QueueLoadSounds(const std::string& pattern);
void QueueReleaseSounds(const std::string& pattern);
void QueueSoundsPaused(bool paused);
void QueuePlaySound(const std::string& id, bool loop, float volume);
void QueueStopSound(const std::string& request);
void QueuePlayMusic(const std::string& name, bool loop, float volume);
void QueueStopMusic(float seconds);
void QueueSoundVolume(float volume);
void QueueMusicVolume(float volume);
