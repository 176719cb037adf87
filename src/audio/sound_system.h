#pragma once
// The sound system: the OpenAL device and context, 12 sound channels, 2 music channels
// with cross-fades, and the registry of sounds by id. Created, used and destroyed on the
// sound thread (tests drive it on their own thread with exact steps).
//   SoundSystem::init            opens the device; false when there is none
//   SoundSystem::update          one tick: every channel, then the music-ended notice
//   SoundSystem::loadSounds      registers the .ogg and .wav files under a pattern
//   SoundSystem::ReleaseSounds   frees decoded samples no channel holds
//   SoundSystem::PlaySound       on the first free sound channel; dropped when all are busy
//   SoundSystem::StopSound       every playing channel whose name begins with the request
//   SoundSystem::IsSoundPlaying  the same match, as a question
//   SoundSystem::SetSoundsPaused pauses or resumes every channel
//   SoundSystem::playMusic       the same track goes on; a new one cross-fades
//   SoundSystem::stopMusic       fades both music channels out (0: at once)
//   SoundSystem::setSoundVolume / SetMusicVolume  the master volumes
#include <array>
#include <atomic>
#include <string>

#include "audio/sound_channel.h"
#include "audio/sound_registry.h"

struct ALCdevice_struct;
struct ALCcontext_struct;

inline constexpr int kSoundChannelCount = 12;
inline constexpr int kMusicChannelCount = 2;
// Files of these sizes and more stream; smaller ones are decoded whole.
inline constexpr int32_t kOggStreamSize = 71680;
inline constexpr int32_t kWaveStreamSize = 133120;

class SoundSystem {
public:
    SoundSystem() = default;
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    bool init();
    void update(float dt);
    void loadSounds(const std::string& pattern);
    void ReleaseSounds(const std::string& pattern);
    void PlaySound(const std::string& id, bool loop, float volume);
    void StopSound(const std::string& request);
    bool IsSoundPlaying(const std::string& request) const;
    void SetSoundsPaused(bool paused);
    void playMusic(const std::string& name, bool loop, float volume);
    void stopMusic(float seconds);
    void setSoundVolume(float volume);
    void SetMusicVolume(float volume);

    SoundChannel& soundChannel(int index) { return soundChannels_[index]; }
    SoundChannel& musicChannel(int index) { return musicChannels_[index]; }
    int currentMusicChannel() const { return currentMusicChannel_; }
    const SoundRegistry& registry() const { return registry_; }

    // Written on the sound thread, read by the main thread without a lock.
    std::atomic<float> soundVolume{1};
    std::atomic<float> musicVolume{1};
    const float musicFadeTime = 1;

private:
    bool initOpenAL();
    void shutdownOpenAL();
    void registerFile(const std::string& directory, const std::string& name, int32_t size);
    bool matches(const SoundChannel& channel, const std::string& request) const;
    bool isHeldByChannel(const SoundEntry& entry) const;

    bool initialised_ = false;
    ALCdevice_struct* device_ = nullptr;
    ALCcontext_struct* context_ = nullptr;
    std::array<SoundChannel, kSoundChannelCount> soundChannels_;
    std::array<SoundChannel, kMusicChannelCount> musicChannels_;
    int currentMusicChannel_ = 1;  // so the first music plays on channel 0
    SoundRegistry registry_;
};
