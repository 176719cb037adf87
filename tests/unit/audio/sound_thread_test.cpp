// The real sound thread on the null device, driven only through the command queue.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "audio/music_stopped_notice.h"
#include "audio/sound_thread.h"
#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/sound_fixtures.h"

extern char** environ;

namespace {

// Generous: the machine may be busy, and the thread ticks in real time.
bool WaitFor(const std::function<bool()>& done, double seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class SoundThreadTest : public testing::Test {
protected:
    void TearDown() override {
        ShutdownSound();
        g_musicStoppedNotice.stopped.store(false);
    }
    MountedDir dir_;
};

TEST_F(SoundThreadTest, CommandsRunInOrderOnTheThread) {
    WavSpec spec;
    spec.rate = 11025;
    dir_.Write("sounds/hum.wav", MakeWav(spec, TonePcm16(1, 11025, 11025, 440, 0.5)));
    dir_.Write("music/jingle.ogg", EncodeOgg(1, 11025, ToneFloats(1, 11025, 2000, 440, 0.5)));
    StartSoundThread();
    QueueLoadSounds("sounds/*");
    QueuePlaySound("hum", true, 0.5f);
    EXPECT_TRUE(WaitFor([] { return IsSoundPlayingNow("hum"); }));
    QueueSoundVolume(0.29f);
    QueueMusicVolume(0.5f);
    EXPECT_TRUE(WaitFor([] { return CurrentSoundVolume() == 0.29f && CurrentMusicVolume() == 0.5f; }));
    QueueSoundsPaused(true);
    EXPECT_TRUE(WaitFor([] { return !IsSoundPlayingNow("hum"); }));
    QueueSoundsPaused(false);
    EXPECT_TRUE(WaitFor([] { return IsSoundPlayingNow("hum"); }));
    QueueStopSound("h*");
    EXPECT_TRUE(WaitFor([] { return !IsSoundPlayingNow("hum"); }));

    QueuePlayMusic("music/jingle", false, 1);
    std::string name;
    EXPECT_TRUE(WaitFor([&] { return TakeMusicStoppedNotice(name); }));
    EXPECT_EQ(name, "music/jingle");
    ShutdownSound();
    EXPECT_EQ(CurrentSoundVolume(), 0) << "no system after shutdown";
    EXPECT_FALSE(IsSoundPlayingNow("hum"));
}

TEST_F(SoundThreadTest, AShutdownRightAfterStartWaitsForNothing) {
    StartSoundThread();
    QueuePlaySound("nothing", false, 1);
    const auto start = std::chrono::steady_clock::now();
    ShutdownSound();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Run by the test below in a fresh process: OpenAL keeps the driver of its first call.
TEST(SoundThreadChild, StartsAndStopsWithoutADevice) {
    if (!std::getenv("VELK_SOUND_CHILD")) GTEST_SKIP() << "run in a child process only";
    ASSERT_STREQ(std::getenv("ALSOFT_DRIVERS"), "nothing");
    StartSoundThread();
    QueuePlaySound("x", false, 1);
    ASSERT_TRUE(WaitFor([] { return AudioDisabled.load(); }));
    EXPECT_FALSE(IsSoundPlayingNow("x"));
    EXPECT_EQ(CurrentSoundVolume(), 0);
    QueueStopMusic(-1);
    ShutdownSound();
}

TEST(SoundThreadNoDevice, StartUpAndShutdownDoNotHang) {
    std::vector<std::string> env = {"VELK_SOUND_CHILD=1", "ALSOFT_DRIVERS=nothing", "ALSOFT_CONF=/dev/null"};
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::string filter = "--gtest_filter=SoundThreadChild.*";
    char* argv[] = {program.data(), filter.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    int status = 0;
    const bool ended = WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 60);
    if (!ended) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    ASSERT_TRUE(ended) << "the child hung";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
