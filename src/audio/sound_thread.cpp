#include "audio/sound_thread.h"

#include <chrono>
#include <memory>
#include <system_error>
#include <thread>

#include "audio/music_stopped_notice.h"
#include "core/frame_timer.h"
#include "core/log.h"

namespace {

std::thread g_soundThread;
// Published once init has finished; null before and after the system's life.
std::atomic<SoundSystem*> g_soundSystem{nullptr};

// Runs every queued command in order, one pop each, so the main thread can push between
// two; true once the shutdown command has run (nothing behind it is looked at).
bool DrainCommands(SoundSystem& system) {
    SoundCommand command;
    while (GetSoundCommandQueue().pop(command))
        if (ExecuteSoundCommand(system, command)) return true;
    return false;
}

void SoundThreadMain() {
    SetThreadLogOnly();
    FrameTimer timer;
    timer.divisor = 1000;
    timer.max_step = 0.1;
    timer.start = 0;
    auto system = std::make_unique<SoundSystem>();
    if (!system->init()) {
        AudioDisabled.store(true);
        return;
    }
    g_soundSystem.store(system.get());
    std::unique_lock lock(SoundMutex);
    for (;;) {
        const auto tickStart = std::chrono::steady_clock::now();
        const auto dt = static_cast<float>(timer.Tick());
        if (DrainCommands(*system)) break;
        system->update(dt);
        // A signal that comes while the tick works is not remembered: the rest of the
        // tick is slept out.
        SoundCondition.wait_until(lock, tickStart + std::chrono::milliseconds(kSoundTickMs));
    }
    g_soundSystem.store(nullptr);
    system.reset();
}

float VolumeOf(std::atomic<float> SoundSystem::*volume) {
    if (AudioDisabled.load()) return 0;
    const SoundSystem* system = g_soundSystem.load();
    return system ? (system->*volume).load() : 0;
}

}  // namespace

void StartSoundThread() {
    GetSoundCommandQueue().clear();
    AudioDisabled.store(false);
    try {
        g_soundThread = std::thread(SoundThreadMain);
    } catch (const std::system_error&) {
        VELK_ERROR("Couldn't start sound thread");
    }
}

void ShutdownSound() {
    // Joined whenever it was started, also when it ended itself without a device.
    if (!g_soundThread.joinable()) return;
    PushSoundCommand({kSoundShutdown, "", false, 0});
    g_soundThread.join();
    FreeStreamScratchBuffer();
}

bool ExecuteSoundCommand(SoundSystem& system, const SoundCommand& command) {
    switch (command.type) {
    case kSoundShutdown: return true;
    case kSoundLoadSounds: system.loadSounds(command.name); break;
    case kSoundReleaseSounds: system.ReleaseSounds(command.name); break;
    case kSoundPause: system.SetSoundsPaused(command.flag); break;
    case kSoundPlaySound: system.PlaySound(command.name, command.flag, command.value); break;
    case kSoundStopSound: system.StopSound(command.name); break;
    case kSoundPlayMusic: system.playMusic(command.name, command.flag, command.value); break;
    case kSoundStopMusic: system.stopMusic(command.value); break;
    case kSoundVolume: system.setSoundVolume(command.value); break;
    case kSoundMusicVolume: system.SetMusicVolume(command.value); break;
    default: break;
    }
    return false;
}

bool IsSoundPlayingNow(const std::string& id) {
    if (AudioDisabled.load()) return false;
    const std::lock_guard lock(SoundMutex);
    const SoundSystem* system = g_soundSystem.load();
    return system && system->IsSoundPlaying(id);
}

float CurrentSoundVolume() { return VolumeOf(&SoundSystem::soundVolume); }

float CurrentMusicVolume() { return VolumeOf(&SoundSystem::musicVolume); }
