// The sound functions as the scripts call them: what each queues for the sound thread,
// and the answers read back.
#include <chrono>
#include <thread>

#include "api_fixture.h"
#include "audio/sound_thread.h"
#include "core/config.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/sound_fixtures.h"

namespace {

class SoundApi : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        GetSoundCommandQueue().clear();
        AudioDisabled.store(false);
    }
    void TearDown() override {
        GetSoundCommandQueue().clear();
        ApiTest::TearDown();
    }
    // Everything the script queued, in order, as "type name flag value".
    static std::vector<std::string> Queued() {
        std::vector<std::string> out;
        SoundCommand command;
        while (GetSoundCommandQueue().pop(command)) {
            char value[32];
            std::snprintf(value, sizeof value, "%g", command.value);
            out.push_back(std::to_string(command.type) + " " + command.name + " " + (command.flag ? "1" : "0") + " " +
                          value);
        }
        return out;
    }
    using Lines = std::vector<std::string>;
};

TEST_F(SoundApi, EachFunctionQueuesItsCommand) {
    ASSERT_EQ(Run("snd_load(1, 2)"), "");
    EXPECT_EQ(Queued(), (Lines{"2 sounds/* 0 0", "2 voices/* 0 0", "2 music/cutscenes/* 0 0"}));
    ASSERT_EQ(Run("snd_release_sounds() snd_release_sounds('ui_*') snd_release_sounds(7) snd_release_sounds({})"), "");
    EXPECT_EQ(Queued(), (Lines{"3 * 0 0", "3 ui_* 0 0", "3 7 0 0", "3 * 0 0"}));
    ASSERT_EQ(Run("snd_play_sound('door', true, 50) snd_play_sound('door') snd_play_sound('door', 1, 'x')"), "");
    EXPECT_EQ(Queued(), (Lines{"5 door 1 0.5", "5 door 0 1", "5 door 0 1"}));
    ASSERT_EQ(Run("snd_stop_sound('step*') snd_play_music('music/theme') snd_play_music('music/intro', false)"), "");
    EXPECT_EQ(Queued(), (Lines{"6 step* 0 0", "7 music/theme 1 1", "7 music/intro 0 1"}));
    ASSERT_EQ(Run("snd_stop_music(false) snd_stop_music(true) snd_stop_music() snd_stop_music(2.5) "
                  "snd_stop_music('soon')"),
              "");
    EXPECT_EQ(Queued(), (Lines{"8  0 0", "8  0 -1", "8  0 -1", "8  0 2.5", "8  0 -1"}));
    ASSERT_EQ(Run("snd_music_volume(49.9) snd_sound_volume(49.9) snd_sound_volume()"), "");
    EXPECT_EQ(Queued(), (Lines{"11  0 0.49", "10  0 0.499"}));
}

TEST_F(SoundApi, AMissingNameDoesNothing) {
    g_config.create_log = true;
    const MountedDir dir;
    ASSERT_EQ(Run("snd_play_sound() snd_stop_sound() snd_stop_sound({}) snd_play_music()"), "");
    EXPECT_EQ(Queued(), Lines{});
    EXPECT_EQ(Eval("snd_is_sound_playing()"), "false");
    EXPECT_NE(dir.Read("log.txt").find("snd_play_music(, 1)"), std::string::npos);
    ASSERT_EQ(Run("snd_play_music('m', false)"), "");
    EXPECT_NE(dir.Read("log.txt").find("snd_play_music(m, 0)"), std::string::npos);
    g_config = EngineConfig{};
}

TEST_F(SoundApi, WithAudioDisabledNothingIsQueuedAndTheAnswersAreZero) {
    AudioDisabled.store(true);
    ASSERT_EQ(Run("snd_load() snd_play_sound('a') snd_play_music('m')"), "");
    EXPECT_EQ(Queued(), Lines{});
    EXPECT_EQ(Eval("snd_sound_volume()"), "0");
    EXPECT_EQ(Eval("snd_music_volume(50)"), "0");
    EXPECT_EQ(Eval("snd_is_sound_playing('a')"), "false");
    AudioDisabled.store(false);
}

TEST_F(SoundApi, VolumesReadBackAsSetAndNonFiniteOnesAreSafe) {
    StartSoundThread();
    const auto waitFor = [this](const std::string& expression, const std::string& value) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Eval(expression) != value && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return Eval(expression);
    };
    EXPECT_EQ(waitFor("snd_sound_volume()", "100"), "100");
    ASSERT_EQ(Run("snd_sound_volume(29) snd_music_volume(57)"), "");
    EXPECT_EQ(waitFor("snd_sound_volume()", "29"), "29");
    EXPECT_EQ(waitFor("snd_music_volume()", "57"), "57");
    ASSERT_EQ(Run("snd_sound_volume(290) snd_music_volume(57)"), "");
    EXPECT_EQ(waitFor("snd_sound_volume()", "100"), "100") << "limited to 100";
    for (const char* volume : {"1/0", "-1/0", "0/0"}) {
        ASSERT_EQ(Run(std::string("snd_sound_volume(") + volume + ") snd_music_volume(" + volume + ")"), "");
        EXPECT_EQ(waitFor("snd_sound_volume()", "0"), "0") << volume << " is silence";
        EXPECT_EQ(waitFor("snd_music_volume()", "0"), "0") << volume;
        ASSERT_EQ(Run("snd_sound_volume(29) snd_music_volume(57)"), "");
        ASSERT_EQ(waitFor("snd_music_volume()", "57"), "57");
    }
    ShutdownSound();
    EXPECT_EQ(Eval("snd_sound_volume()"), "0");
}

}  // namespace
