#pragma once
// The one notice the sound thread sends back to the main thread: the music has ended.
// The sound thread writes the name, then sets the flag, both under SoundMutex.
#include <atomic>
#include <mutex>
#include <string>

extern std::mutex SoundMutex;

struct MusicStoppedNotice {
    bool armed = false;    // sound thread only
    std::string pending;   // sound thread only: the name of the track that armed it
    std::atomic<bool> stopped{false};
    std::string name;
};

extern MusicStoppedNotice g_musicStoppedNotice;

// Main thread: when the notice is set, copies the name, clears it and gives true.
// The flag is tested without the lock, so a frame without a notice never waits.
bool TakeMusicStoppedNotice(std::string& name);
