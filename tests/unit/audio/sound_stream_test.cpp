// WAV and Ogg Vorbis files read as PCM streams, from files made here.
#include <AL/al.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "audio/ogg_stream.h"
#include "audio/wave_stream.h"
#include "core/config.h"
#include "core/crash.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/sound_fixtures.h"

namespace {

class SoundStreamTest : public testing::Test {
protected:
    void TearDown() override { g_config = EngineConfig{}; }
    // Fatal paths report on standard error only while the log is on.
    static void Fatal(const std::function<void()>& call) {
        g_config.create_log = true;
        call();
    }
    std::string ReadAll(VSoundStream& stream, int chunk = 4096) {
        std::string out;
        std::string buffer(static_cast<std::size_t>(chunk), '\0');
        while (const int got = stream.read(buffer.data(), chunk)) out.append(buffer, 0, static_cast<std::size_t>(got));
        return out;
    }

    MountedDir dir;
};

struct BadWave {
    const char* label;
    std::function<void(WavSpec&)> change;
    const char* message;
};

TEST_F(SoundStreamTest, WaveHeadersOutsideTheTableAreFatal) {
    const std::vector<BadWave> cases = {
        {"riff", [](WavSpec& s) { s.riff = "RIFX"; }, "Incompatible wave format"},
        {"wave", [](WavSpec& s) { s.wave = "AVI "; }, "Incompatible wave format"},
        {"fmt", [](WavSpec& s) { s.fmt = "fmt_"; }, "Incompatible wave format"},
        {"float samples", [](WavSpec& s) { s.tag = 3; }, "Incompatible wave format"},
        {"three channels", [](WavSpec& s) { s.channels = 3; }, "Incompatible wave format"},
        {"24 bits", [](WavSpec& s) { s.bits = 24; }, "Incompatible wave format"},
        {"rate 0", [](WavSpec& s) { s.rate = 0; }, "Incompatible wave format"},
        {"18-byte format chunk", [](WavSpec& s) { s.formatSize = 18, s.betweenChunks = std::string(2, '\0'); },
         "Wrong wave data"},
        {"LIST before data", [](WavSpec& s) { s.betweenChunks = std::string("LIST\4\0\0\0abcd", 12); }, "Wrong wave data"},
    };
    for (const BadWave& bad : cases) {
        WavSpec spec;
        bad.change(spec);
        dir.Write("bad.wav", MakeWav(spec, std::string(64, '\0')));
        EXPECT_EXIT(Fatal([] { CreateSoundStream("bad.wav"); }), testing::ExitedWithCode(kExitFatal), bad.message)
            << bad.label;
    }
    dir.Write("short.wav", MakeWav({}, "").substr(0, 30));
    EXPECT_EXIT(Fatal([] { CreateSoundStream("short.wav"); }), testing::ExitedWithCode(kExitFatal), "Wrong wave file");
    dir.Write("nodata.wav", MakeWav({}, "").substr(0, 40));
    EXPECT_EXIT(Fatal([] { CreateSoundStream("nodata.wav"); }), testing::ExitedWithCode(kExitFatal), "Wrong wave data");
}

TEST_F(SoundStreamTest, EightBitMonoOfOneSecond) {
    WavSpec spec;
    spec.bits = 8;
    spec.rate = 8000;
    dir.Write("s.wav", MakeWav(spec, std::string(8000, '\x80')));
    const auto stream = CreateSoundStream("s.wav");
    EXPECT_EQ(stream->format, AL_FORMAT_MONO8);
    EXPECT_FLOAT_EQ(stream->length, 1.0f);
    EXPECT_EQ(stream->samples, 8000);
    EXPECT_EQ(stream->totalBytes, 8000);
    EXPECT_EQ(stream->path, "s.wav");
    EXPECT_EQ(ReadAll(*stream).size(), 8000u);
}

TEST_F(SoundStreamTest, WaveDataIsCutToWholeFramesAndToTheFile) {
    WavSpec spec;
    spec.channels = 2;
    const std::string pcm = TonePcm16(2, 8000, 100, 440, 0.5);
    // An odd size: the partial frame at the end is never handed out.
    spec.dataSize = 399;
    dir.Write("odd.wav", MakeWav(spec, pcm) + "LIST\4\0\0\0tail");
    auto stream = CreateSoundStream("odd.wav");
    EXPECT_EQ(stream->format, AL_FORMAT_STEREO16);
    EXPECT_EQ(stream->totalBytes, 396);
    EXPECT_EQ(stream->samples, 99);
    EXPECT_EQ(ReadAll(*stream, 1000), pcm.substr(0, 396));
    stream->rewind();
    EXPECT_EQ(ReadAll(*stream, 7 * 4), pcm.substr(0, 396)) << "a rewind starts at the first sample";

    // A size beyond the file is bounded by it; trailing chunks are never read.
    spec.dataSize = 1'000'000;
    dir.Write("long.wav", MakeWav(spec, pcm));
    stream = CreateSoundStream("long.wav");
    EXPECT_EQ(stream->totalBytes, 400);
    EXPECT_EQ(ReadAll(*stream), pcm);
    spec.dataSize = 200;
    dir.Write("trail.wav", MakeWav(spec, pcm));
    stream = CreateSoundStream("trail.wav");
    EXPECT_EQ(ReadAll(*stream), pcm.substr(0, 200));
}

TEST_F(SoundStreamTest, OggSizesCountTwoBytesPerSampleAndChannel) {
    for (const int channels : {1, 2}) {
        dir.Write("t.ogg", EncodeOgg(channels, 22050, ToneFloats(channels, 22050, 11025, 440, 0.5)));
        auto stream = CreateSoundStream("t.ogg");
        EXPECT_EQ(stream->channels, channels);
        EXPECT_EQ(stream->format, channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16);
        EXPECT_EQ(stream->samples, 11025);
        EXPECT_EQ(stream->totalBytes, 11025 * channels * 2);
        EXPECT_FLOAT_EQ(stream->length, 0.5f);
        const std::string first = ReadAll(*stream, 1000 * channels);
        EXPECT_EQ(first.size(), static_cast<std::size_t>(stream->totalBytes));
        stream->rewind();
        EXPECT_EQ(ReadAll(*stream), first) << "the same samples after a rewind";
    }
}

TEST_F(SoundStreamTest, OggWithSixChannelsIsMixedToStereo) {
    dir.Write("surround.ogg", EncodeOgg(6, 22050, ToneFloats(6, 22050, 4410, 440, 0.3)));
    auto stream = CreateSoundStream("surround.ogg");
    EXPECT_EQ(stream->channels, 2);
    EXPECT_EQ(stream->format, AL_FORMAT_STEREO16);
    EXPECT_EQ(stream->totalBytes, 4410 * 4);
    const std::string pcm = ReadAll(*stream);
    EXPECT_EQ(pcm.size(), 4410u * 4);
    int peaks[2] = {0, 0};
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2)
        peaks[i / 2 % 2] = std::max(peaks[i / 2 % 2],
                                    std::abs(static_cast<int16_t>(static_cast<uint8_t>(pcm[i]) | pcm[i + 1] << 8)));
    // The same tone on every input channel keeps its level (0.3 of full scale) on both sides.
    for (const int peak : peaks) {
        EXPECT_GT(peak, 8500) << "the tone comes through the mix";
        EXPECT_LT(peak, 11000) << "no channel is added twice";
    }
}

TEST_F(SoundStreamTest, TheExtensionAloneChoosesTheKind) {
    dir.Write("music.ogg/click.wav", MakeWav({}, TonePcm16(1, 8000, 10, 440, 0.5)));
    EXPECT_EQ(CreateSoundStream("music.ogg/click.wav")->totalBytes, 20) << "a folder named .ogg holds a WAV";
    dir.Write("sounds.wav/beep.ogg", EncodeOgg(1, 8000, ToneFloats(1, 8000, 800, 440, 0.5)));
    EXPECT_EQ(CreateSoundStream("sounds.wav/beep.ogg")->samples, 800);
    for (const char* path : {"noext", "B.OGG", "a.ogg.bak"}) {
        EXPECT_EXIT(Fatal([path] { CreateSoundStream(path); }), testing::ExitedWithCode(kExitFatal),
                    std::string("Unknown sound format for \"") + path)
            << path;
    }
}

TEST_F(SoundStreamTest, AnOggThatIsNotOneIsFatal) {
    dir.Write("fake.ogg", "OggS but not really a stream of pages at all");
    EXPECT_EXIT(Fatal([] { CreateSoundStream("fake.ogg"); }), testing::ExitedWithCode(kExitFatal),
                "OggStream\\(\"fake.ogg\"\\) failed: [0-9]+");
}

// Every damaged file either opens and reads to its end or stops with the stream's error.
TEST_F(SoundStreamTest, DamagedOggsEndCleanlyOrWithTheStreamError) {
    for (const int channels : {2, 6}) {
        const std::string ogg = EncodeOgg(channels, 22050, ToneFloats(channels, 22050, 22050, 440, 0.3));
        for (const DamagedOgg& damaged : DamagedOggs(ogg)) {
            dir.Write("damaged.ogg", damaged.bytes);
            EXPECT_EXIT(Fatal([this] {
                            auto stream = CreateSoundStream("damaged.ogg");
                            const std::string pcm = ReadAll(*stream);
                            stream->rewind();
                            ReadAll(*stream, 1000);
                            std::fprintf(stderr, "read %zu\n", pcm.size());
                            std::exit(0);
                        }),
                        [](int status) {
                            return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == kExitFatal);
                        },
                        "read [0-9]+|OggStream\\(\"damaged.ogg\"\\) failed: [0-9]+")
                << damaged.label << " of " << channels << " channels";
        }
    }
}

}  // namespace
