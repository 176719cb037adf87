#include "audio/music_stopped_notice.h"

std::mutex SoundMutex;
MusicStoppedNotice g_musicStoppedNotice;

bool TakeMusicStoppedNotice(std::string& name) {
    if (!g_musicStoppedNotice.stopped.load()) return false;
    const std::lock_guard lock(SoundMutex);
    name = g_musicStoppedNotice.name;
    g_musicStoppedNotice.stopped.store(false);
    return true;
}
