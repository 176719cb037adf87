// The registry, the sound channel rules and the music channels, with exact steps.
#include <cmath>

#include "storage/storage.h"
#include "fixtures/pack_writer.h"
#include "sound_test_fixture.h"

namespace {

using RegistryTest = SoundSystemTest;
using SoundRulesTest = SoundSystemTest;
using MusicTest = SoundSystemTest;

TEST_F(RegistryTest, OnlyLowerCaseOggAndWavFilesRegisterOnceByName) {
    WriteOgg("sounds/a.ogg", 0.1);
    WriteWav("voices/a.wav", 100);
    WriteWav("voices/deep/b.wav", 100);
    for (const char* name : {"sounds/B.OGG", "sounds/noext", "sounds/.x.ogg", "sounds/c.mp3", "sounds/.hidden/d.ogg"})
        dir_.Write(name, "x");
    for (const char* pattern : {"sounds/*", "voices/*", "music/cutscenes/*"}) system_.loadSounds(pattern);
    std::vector<std::string> ids;
    for (const auto& [id, entry] : system_.registry().entries()) ids.push_back(id);
    EXPECT_EQ(ids, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(system_.registry().FindSound("a")->path, "sounds/a.ogg") << "the first found keeps the id";
    EXPECT_EQ(system_.registry().FindSound("b")->path, "voices/deep/b.wav");
    EXPECT_NE(Log().find("Trying to add sound with already existing id 'a'"), std::string::npos);
}

TEST_F(RegistryTest, FilesStreamFromTheirSizeThresholdsOn) {
    dir_.Write("sounds/o1.ogg", std::string(kOggStreamSize - 1, 'x'));
    dir_.Write("sounds/o2.ogg", std::string(kOggStreamSize, 'x'));
    dir_.Write("sounds/w1.wav", std::string(kWaveStreamSize - 1, 'x'));
    dir_.Write("sounds/w2.wav", std::string(kWaveStreamSize, 'x'));
    system_.loadSounds("sounds/*");
    const auto streams = [&](const char* id) { return system_.registry().FindSound(id)->stream; };
    EXPECT_FALSE(streams("o1"));
    EXPECT_TRUE(streams("o2"));
    EXPECT_FALSE(streams("w1"));
    EXPECT_TRUE(streams("w2"));
}

TEST_F(RegistryTest, SoundsHeldOnlyInAPackAreSkippedAndNeverCrash) {
    dir_.Write("game.pck", BuildPack({{"sounds/packed.wav", MakeWav({}, std::string(100, '\0'))},
                                      {"music/packed.ogg", EncodeOgg(1, 8000, ToneFloats(1, 8000, 800, 440, 0.5))}}));
    ASSERT_TRUE(AddPackStorage(dir_.path().string() + "/game.pck", "", false));
    system_.loadSounds("sounds/*");
    EXPECT_FALSE(system_.registry().HasSound("packed"));
    EXPECT_NE(Log().find("Sound 'sounds/packed.wav' is not in a data folder: skipped"), std::string::npos);
    system_.playMusic("music/packed", true, 1);
    EXPECT_FALSE(system_.musicChannel(0).hasAttachment());
    EXPECT_NE(Log().find("playMusic(\"music/packed\") failed"), std::string::npos);
}

TEST_F(SoundRulesTest, AThirteenthSoundIsDroppedAndPausedChannelsCountAsBusy) {
    WriteWav("sounds/hum.wav", 11025);
    WriteWav("sounds/late.wav", 11025);
    system_.loadSounds("sounds/*");
    for (int i = 0; i < kSoundChannelCount; ++i) system_.PlaySound("hum", true, 1);
    system_.PlaySound("late", true, 1);
    EXPECT_FALSE(system_.IsSoundPlaying("late"));
    for (int i = 0; i < kSoundChannelCount; ++i) EXPECT_EQ(system_.soundChannel(i).getName(), "hum") << i;
    system_.SetSoundsPaused(true);
    system_.PlaySound("late", true, 1);
    for (int i = 0; i < kSoundChannelCount; ++i) EXPECT_EQ(system_.soundChannel(i).getName(), "hum") << i;
    system_.SetSoundsPaused(false);
    system_.StopSound("hum");
    system_.PlaySound("late", true, 1);
    EXPECT_TRUE(system_.IsSoundPlaying("late"));
    EXPECT_EQ(system_.soundChannel(0).getName(), "late");
}

TEST_F(SoundRulesTest, RequestsMatchNamesByPrefix) {
    for (const char* name : {"sounds/step_left.wav", "sounds/step_right.wav", "sounds/stone.wav"}) WriteWav(name, 11025);
    system_.loadSounds("sounds/*");
    for (const char* id : {"step_left", "step_right", "stone"}) system_.PlaySound(id, true, 1);
    EXPECT_TRUE(system_.IsSoundPlaying("sto"));
    EXPECT_TRUE(system_.IsSoundPlaying("step_left"));
    EXPECT_FALSE(system_.IsSoundPlaying("step_left_foot"));
    system_.StopSound("ste");
    EXPECT_FALSE(system_.IsSoundPlaying("step"));
    EXPECT_TRUE(system_.IsSoundPlaying("stone"));
    system_.StopSound("st*ne");
    EXPECT_FALSE(system_.IsSoundPlaying("*"));
    system_.PlaySound("ghost", false, 1);
    EXPECT_NE(Log().find("sound <ghost> not found"), std::string::npos);
}

TEST_F(SoundRulesTest, TheSoundVolumeBecomesEveryChannelsMaster) {
    WriteWav("sounds/hum.wav", 11025);
    system_.loadSounds("sounds/*");
    system_.PlaySound("hum", true, 0.5f);
    system_.setSoundVolume(0.5f);
    EXPECT_FLOAT_EQ(Gain(system_.soundChannel(0)), 0.25f);
    system_.PlaySound("hum", true, -1);
    EXPECT_FLOAT_EQ(Gain(system_.soundChannel(1)), 0.5f) << "a negative volume plays at 1";
    EXPECT_FLOAT_EQ(system_.soundVolume.load(), 0.5f);
}

TEST_F(SoundRulesTest, NonFiniteVolumesAreSilence) {
    WriteWav("sounds/hum.wav", 11025);
    WriteOgg("music/theme.ogg", 2);
    system_.loadSounds("sounds/*");
    const float kNaN = std::nanf(""), kInfinity = HUGE_VALF;
    const float cases[] = {kNaN, kInfinity, -kInfinity};
    for (int i = 0; i < 3; ++i) {
        system_.PlaySound("hum", true, cases[i]);
        EXPECT_EQ(Gain(system_.soundChannel(i)), 0.0f) << cases[i];
        system_.setSoundVolume(cases[i]);
        EXPECT_EQ(system_.soundVolume.load(), 0.0f) << cases[i];
        system_.SetMusicVolume(cases[i]);
        EXPECT_EQ(system_.musicVolume.load(), 0.0f) << cases[i];
        system_.setSoundVolume(1);
    }
    system_.SetMusicVolume(1);
    system_.playMusic("music/theme", true, kNaN);
    EXPECT_EQ(system_.musicChannel(0).volume, 0.0f);
    system_.playMusic("music/theme", true, -kInfinity);  // the same track goes on
    EXPECT_EQ(system_.musicChannel(0).volume, 0.0f);
    EXPECT_EQ(Log().find("OpenAL error"), std::string::npos) << Log();
}

TEST_F(MusicTest, TheFirstTrackFadesInOnChannelZeroAndTheSameNameGoesOn) {
    WriteOgg("music/theme.ogg", 2);
    system_.playMusic("music/theme", true, 1);
    SoundChannel& first = system_.musicChannel(0);
    EXPECT_EQ(system_.currentMusicChannel(), 0);
    EXPECT_TRUE(first.fading);
    EXPECT_FLOAT_EQ(first.fadeFrom, 0);
    EXPECT_FLOAT_EQ(first.fadeDuration, 1);
    const VSoundStream* stream = first.stream();
    system_.update(0.5f);
    system_.playMusic("music/theme", true, 1);
    EXPECT_EQ(first.stream(), stream) << "not restarted";
    EXPECT_EQ(system_.currentMusicChannel(), 0);
    EXPECT_FLOAT_EQ(Gain(first), 0.5f);

    // Another extension plays the .ogg, under the name as asked: a new track.
    system_.playMusic("music/theme.mp3", true, 1);
    EXPECT_EQ(system_.currentMusicChannel(), 1);
    EXPECT_EQ(system_.musicChannel(1).getName(), "music/theme.mp3");
    EXPECT_EQ(system_.musicChannel(1).stream()->path, "music/theme.ogg");
    system_.playMusic("music/missing", true, 1);
    EXPECT_NE(Log().find("playMusic(\"music/missing\") failed"), std::string::npos);
    EXPECT_EQ(system_.currentMusicChannel(), 1) << "the current music goes on";
}

TEST_F(MusicTest, ACrossFadeKeepsTheSumOfLevelsAndTheOldTrackNeverNotifies) {
    WriteOgg("music/a.ogg", 2);
    WriteOgg("music/b.ogg", 2);
    system_.playMusic("music/a", true, 1);
    system_.update(1.5f);
    system_.playMusic("music/b", true, 1);
    for (int step = 1; step <= 4; ++step) {
        system_.update(0.25f);
        EXPECT_NEAR(Gain(system_.musicChannel(0)) + Gain(system_.musicChannel(1)), 1.0f, 1e-6) << step;
    }
    EXPECT_FLOAT_EQ(Gain(system_.musicChannel(1)), 1.0f);
    system_.update(0.01f);
    EXPECT_FALSE(system_.musicChannel(0).hasAttachment()) << "faded out and freed";
    EXPECT_FALSE(g_musicStoppedNotice.stopped.load());

    // Stopping at once raises the notice for the current track in the same tick, once.
    system_.stopMusic(0);
    system_.update(0.05f);
    ASSERT_TRUE(g_musicStoppedNotice.stopped.load());
    EXPECT_EQ(g_musicStoppedNotice.name, "music/b");
    g_musicStoppedNotice.stopped.store(false);
    system_.update(0.05f);
    EXPECT_FALSE(g_musicStoppedNotice.stopped.load());
}

TEST_F(MusicTest, ATrackThatEndsWithoutLoopNotifiesOnce) {
    WriteOgg("music/jingle.ogg", 0.2);
    system_.playMusic("music/jingle", false, 1);
    ASSERT_TRUE(WaitFor([&] {
        system_.update(0.05f);
        return g_musicStoppedNotice.stopped.load();
    }));
    EXPECT_EQ(g_musicStoppedNotice.name, "music/jingle");
    g_musicStoppedNotice.stopped.store(false);
    for (int i = 0; i < 10; ++i) system_.update(0.05f);
    EXPECT_FALSE(g_musicStoppedNotice.stopped.load());
}

TEST_F(MusicTest, AskingAgainDuringAFadeOutGoesOnFromThePresentLevel) {
    WriteOgg("music/theme.ogg", 2);
    system_.playMusic("music/theme", true, 1);
    SoundChannel& music = system_.musicChannel(0);
    system_.update(1.01f);
    system_.stopMusic(-1);
    system_.update(0.5f);
    system_.playMusic("music/theme", true, 1);
    EXPECT_FLOAT_EQ(Gain(music), 0.5f) << "no jump";
    system_.update(0.25f);
    EXPECT_FLOAT_EQ(Gain(music), 0.75f);
    system_.update(0.25f);
    system_.update(0.01f);
    EXPECT_FLOAT_EQ(Gain(music), 1.0f);
    EXPECT_FALSE(music.fading);

    // A later stop still reaches silence and ends the track.
    system_.stopMusic(-1);
    system_.update(0.5f);
    system_.update(0.5f);
    system_.update(0.01f);
    EXPECT_FALSE(music.hasAttachment());
    EXPECT_TRUE(g_musicStoppedNotice.stopped.load());
}

TEST_F(MusicTest, AStopDuringAFadeBackInStillEnds) {
    WriteOgg("music/theme.ogg", 2);
    WriteOgg("music/other.ogg", 2);
    system_.playMusic("music/theme", true, 1);
    system_.update(1.01f);
    system_.stopMusic(-1);
    system_.update(0.5f);
    system_.playMusic("music/theme", true, 1);
    system_.update(0.25f);
    system_.playMusic("music/other", true, 1);  // the rising track turns back down
    SoundChannel& old = system_.musicChannel(0);
    EXPECT_FLOAT_EQ(old.fadeTo, 0);
    system_.update(0.75f);
    system_.update(0.01f);
    EXPECT_FALSE(old.hasAttachment());
}

}  // namespace
