#pragma once
// The sound thread: a 50 ms tick that runs the queued commands in order, then advances
// every channel. It owns the SoundSystem; the main thread only asks the questions below.
//   StartSoundThread      starts the thread (fatal "Couldn't start sound thread")
//   ShutdownSound         queues the stop, joins the thread, frees the refill buffer
//   ExecuteSoundCommand   one command on the system; true for the shutdown command
//   IsSoundPlayingNow     the one synchronous question, under SoundMutex
//   CurrentSoundVolume / CurrentMusicVolume   0 while there is no sound system
#include <string>

#include "audio/sound_commands.h"
#include "audio/sound_system.h"

inline constexpr int kSoundTickMs = 50;

void StartSoundThread();
void ShutdownSound();
bool ExecuteSoundCommand(SoundSystem& system, const SoundCommand& command);
bool IsSoundPlayingNow(const std::string& id);
float CurrentSoundVolume();
float CurrentMusicVolume();
