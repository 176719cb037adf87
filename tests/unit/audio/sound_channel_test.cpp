// Channels on the null device: gains, fades driven with exact steps, stream buffers.
#include "sound_test_fixture.h"

namespace {

using ChannelTest = SoundSystemTest;

// The file with its last page claiming `samples` as the stream's length.
std::string WithClaimedLength(std::string ogg, uint32_t samples) {
    const std::size_t last = ogg.rfind("OggS");
    for (int i = 0; i < 8; ++i) ogg[last + 6 + i] = static_cast<char>(i < 4 ? samples >> (8 * i) & 0xFF : 0);
    ResealOggPage(ogg, last);
    return ogg;
}

TEST_F(ChannelTest, GainIsVolumeTimesMasterTimesFadeLevel) {
    WriteOgg("music/theme.ogg", 2);
    system_.SetMusicVolume(0.8f);
    system_.playMusic("music/theme", true, 0.5f);
    SoundChannel& music = system_.musicChannel(0);
    EXPECT_FLOAT_EQ(Gain(music), 0) << "a new track starts silent";
    system_.update(0.25f);
    EXPECT_FLOAT_EQ(Gain(music), 0.1f);  // 0.5 x 0.8 x 0.25
    system_.SetMusicVolume(0.4f);
    EXPECT_FLOAT_EQ(Gain(music), 0.05f);
}

TEST_F(ChannelTest, AFadeOutReversesAFadeInFromItsLevel) {
    WriteOgg("music/theme.ogg", 2);
    system_.playMusic("music/theme", true, 1);
    SoundChannel& music = system_.musicChannel(0);
    system_.update(0.25f);
    system_.stopMusic(-1);
    system_.update(0.125f);
    EXPECT_FLOAT_EQ(Gain(music), 0.125f) << "down from 0.25 at the pace it rose";
    system_.stopMusic(5);
    EXPECT_FLOAT_EQ(music.fadeDuration, 0.25f) << "a running fade-out keeps its length";
    system_.update(0.125f);
    EXPECT_TRUE(music.hasAttachment()) << "ends only past its length";
    system_.update(0.001f);
    EXPECT_FALSE(music.hasAttachment());
}

TEST_F(ChannelTest, AFadeEndsOnTheStepThatPassesItsLength) {
    WriteWav("sounds/hum.wav", 11025);
    system_.loadSounds("sounds/*");
    system_.PlaySound("hum", true, 1);
    SoundChannel& channel = system_.soundChannel(0);
    channel.fadeOut(0.3f);
    system_.update(0.15f);
    EXPECT_FLOAT_EQ(Gain(channel), 0.5f);
    system_.update(0.15f);
    EXPECT_TRUE(channel.hasAttachment()) << "0.3 s reached, not passed";
    system_.update(0.01f);
    EXPECT_FALSE(channel.hasAttachment());
    EXPECT_FALSE(system_.IsSoundPlaying("hum"));
}

TEST_F(ChannelTest, ALoopingShortStreamFillsEachBufferWithOneRewind) {
    dir_.Write("loop.wav", MakeWav({}, std::string(40000, '\1')));
    SoundChannel& channel = system_.soundChannel(0);
    channel.attachStream("loop", "loop.wav");
    channel.setLoop(true);
    ASSERT_TRUE(channel.play());
    const auto size = [](unsigned int buffer) {
        ALint bytes = -1;
        alGetBufferi(buffer, AL_SIZE, &bytes);
        return bytes;
    };
    // 40000 + 25536 of the next pass, then 14464 + 40000 (one rewind per fill), then a
    // whole pass each time.
    EXPECT_EQ(size(channel.buffer(0)), 65536);
    EXPECT_EQ(size(channel.buffer(1)), 54464);
    channel.stop();
    auto stream = CreateSoundStream("loop.wav");
    ALuint spare = 0;
    alGenBuffers(1, &spare);
    for (const int expected : {65536, 54464, 40000, 40000}) {
        ASSERT_TRUE(FillStreamBuffer(*stream, spare, true));
        EXPECT_EQ(size(spare), expected);
    }
    alDeleteBuffers(1, &spare);
}

TEST_F(ChannelTest, ANonLoopingStreamShorterThanOneBufferPlaysToItsEnd) {
    WriteWav("short.wav", 1000);
    SoundChannel& channel = system_.soundChannel(0);
    channel.attachStream("short", "short.wav");
    ASSERT_TRUE(channel.play());
    ALint queued = 0;
    alGetSourcei(channel.source(), AL_BUFFERS_QUEUED, &queued);
    EXPECT_EQ(queued, 1);
    EXPECT_TRUE(WaitFor([&] { return !channel.update(0); }));
    EXPECT_EQ(channel.getName(), "");
}

TEST_F(ChannelTest, AStreamThatGivesNothingDoesNotPlay) {
    dir_.Write("empty.wav", MakeWav({}, ""));
    SoundChannel& channel = system_.soundChannel(0);
    channel.attachStream("empty", "empty.wav");
    EXPECT_FALSE(channel.play());
    EXPECT_EQ(channel.getName(), "empty") << "the stream stays attached, silent";
}

TEST_F(ChannelTest, AStoppedSampleCanBeReleasedForReal) {
    WriteWav("sounds/click.wav", 2000);
    system_.loadSounds("sounds/*");
    system_.PlaySound("click", true, 1);
    const SoundEntry* entry = system_.registry().FindSound("click");
    ASSERT_TRUE(entry && entry->loaded);
    const ALuint buffer = entry->buffer;
    system_.ReleaseSounds("click");
    EXPECT_TRUE(entry->loaded) << "a channel still holds it";
    system_.StopSound("click");
    system_.ReleaseSounds("cl*");
    EXPECT_FALSE(entry->loaded);
    EXPECT_FALSE(alIsBuffer(buffer)) << "the buffer is deleted, not left attached";
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
    system_.PlaySound("click", false, 1);
    EXPECT_TRUE(entry->loaded) << "decoded again on its next play";
}

TEST_F(ChannelTest, ASmallOggClaimingAHugeLengthDecodesWhatItHolds) {
    const std::string ogg = EncodeOgg(1, 11025, ToneFloats(1, 11025, 4000, 440, 0.5));
    dir_.Write("sounds/liar.ogg", WithClaimedLength(ogg, 0x7FFFFFF0u));
    // The decoder counts the length from the first audio page to the last, both rewritten here.
    EXPECT_LT(CreateSoundStream("sounds/liar.ogg")->totalBytes, 8000 * 2);
    system_.loadSounds("sounds/*");
    system_.PlaySound("liar", false, 1);
    const SoundEntry* entry = system_.registry().FindSound("liar");
    ASSERT_TRUE(entry && entry->loaded);
    ALint bytes = -1;
    alGetBufferi(entry->buffer, AL_SIZE, &bytes);
    EXPECT_GE(bytes, 4000 * 2);
    EXPECT_LT(bytes, 8000 * 2);
}

TEST_F(ChannelTest, ResumePlaysOnlyPausedSourcesAndKeepsTheirPlace) {
    WriteWav("sounds/hum.wav", 11025 * 4);
    system_.loadSounds("sounds/*");
    system_.PlaySound("hum", false, 1);
    SoundChannel& channel = system_.soundChannel(0);
    ASSERT_TRUE(WaitFor([&] { return Offset(channel) > 2000; }));
    const int before = Offset(channel);
    system_.SetSoundsPaused(false);
    EXPECT_GE(Offset(channel), before) << "a playing source is not started again";
    system_.SetSoundsPaused(true);
    EXPECT_EQ(channel.sourceState(), AL_PAUSED);
    EXPECT_FALSE(system_.IsSoundPlaying("hum")) << "a paused sound is not playing";
    system_.StopSound("*");
    EXPECT_TRUE(channel.hasAttachment()) << "nor is it stopped";
    system_.update(0.05f);
    system_.SetSoundsPaused(false);
    EXPECT_EQ(channel.sourceState(), AL_PLAYING);
    EXPECT_GE(Offset(channel), before);
}

}  // namespace
