#pragma once
// A sound system on OpenAL Soft's null device, driven on the test's own thread with
// exact steps, over a mounted folder that the tests fill with sounds made in code.
#include <AL/al.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "audio/music_stopped_notice.h"
#include "audio/sound_system.h"
#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/sound_fixtures.h"

class SoundSystemTest : public testing::Test {
protected:
    void SetUp() override {
        g_config.create_log = true;
        ASSERT_TRUE(system_.init());
    }
    void TearDown() override {
        g_musicStoppedNotice.armed = false;
        g_musicStoppedNotice.stopped.store(false);
        g_config = EngineConfig{};
    }

    // A mono 16-bit tone at 11025 Hz (about 6 s in two stream buffers).
    void WriteWav(const std::string& name, int frames) const {
        WavSpec spec;
        spec.rate = 11025;
        dir_.Write(name, MakeWav(spec, TonePcm16(1, 11025, frames, 440, 0.5)));
    }
    void WriteOgg(const std::string& name, double seconds) const {
        dir_.Write(name, EncodeOgg(1, 11025, ToneFloats(1, 11025, static_cast<int>(seconds * 11025), 440, 0.5)));
    }
    // Polls (real time: the null device plays at its own pace) with small steps between.
    static bool WaitFor(const std::function<bool()>& done, double seconds = 20) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    static float Gain(const SoundChannel& channel) {
        ALfloat gain = -1;
        alGetSourcef(channel.source(), AL_GAIN, &gain);
        return gain;
    }
    static int Offset(const SoundChannel& channel) {
        ALint offset = -1;
        alGetSourcei(channel.source(), AL_SAMPLE_OFFSET, &offset);
        return offset;
    }
    std::string Log() const { return dir_.Read("log.txt"); }

    MountedDir dir_;
    SoundSystem system_;
};
