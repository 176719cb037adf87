// Sound through the real executable: OpenAL Soft's wave writer records what the engine
// played (in real time), and the recording is measured here. Levels are read with a
// tolerance and timings with a margin, since the machine may be busy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>

#include "fixtures/sound_fixtures.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

uint32_t Word(const std::string& bytes, std::size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// The recording mixed to mono, as floats; 16-bit or float samples.
struct Recording {
    int rate = 0;
    std::vector<float> samples;
};

Recording ReadRecording(const std::string& bytes) {
    Recording out;
    int channels = 0, bits = 0;
    bool isFloat = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string tag = bytes.substr(at, 4);
        std::size_t size = Word(bytes, at + 4, 4);
        if (tag == "fmt ") {
            const uint32_t format = Word(bytes, at + 8, 2);
            channels = static_cast<int>(Word(bytes, at + 10, 2));
            out.rate = static_cast<int>(Word(bytes, at + 12, 4));
            bits = static_cast<int>(Word(bytes, at + 22, 2));
            isFloat = format == 3 || (format == 0xFFFE && Word(bytes, at + 32, 2) == 3);
        } else if (tag == "data") {
            // Sizes are written when the device closes; a recording cut short has none.
            if (size == 0 || at + 8 + size > bytes.size()) size = bytes.size() - at - 8;
            const std::size_t frameBytes = static_cast<std::size_t>(channels * bits / 8);
            for (std::size_t f = at + 8; frameBytes && f + frameBytes <= at + 8 + size; f += frameBytes) {
                float sum = 0;
                for (int c = 0; c < channels; ++c) {
                    const uint32_t raw = Word(bytes, f + static_cast<std::size_t>(c * bits / 8), bits / 8);
                    float value = 0;
                    if (isFloat) {
                        std::memcpy(&value, &raw, sizeof value);
                    } else {
                        value = static_cast<float>(static_cast<int16_t>(raw)) / 32768.0f;
                    }
                    sum += value;
                }
                out.samples.push_back(sum / static_cast<float>(channels));
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

// The level of one frequency in a Hann-windowed stretch, as an amplitude.
double Level(const Recording& r, std::size_t start, std::size_t length, double frequency) {
    double re = 0, im = 0, weights = 0;
    for (std::size_t i = 0; i < length && start + i < r.samples.size(); ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(length));
        const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(start + i) / r.rate;
        re += w * r.samples[start + i] * std::cos(phase);
        im += w * r.samples[start + i] * std::sin(phase);
        weights += w;
    }
    return weights > 0 ? 2 * std::hypot(re, im) / weights : 0;
}

class SoundGame : public testing::Test {
protected:
    void SetUp() override {
        fs::copy(kE2eDir / "common", copy_.path(), fs::copy_options::recursive);
        std::string config = ReadWholeFile(copy_ / "config.cfg");
        config.replace(config.find("disable_audio = true"), 20, "disable_audio = false");
        copy_.Write("config.cfg", config);
    }
    GameResult Run(const std::string& script, const std::string& expect) {
        copy_.Write("data/init.lua", script);
        copy_.Write("alsoft.conf", "[general]\nfrequency = 44100\nsample-type = int16\n[wave]\nfile = " +
                                       (copy_ / "out.wav").string() + "\n");
        expectation_ = ParseExpectation(expect + "\ntime-limit 60\nenv ALSOFT_DRIVERS=wave\nenv ALSOFT_CONF=" +
                                        (copy_ / "alsoft.conf").string());
        return RunGame(VELK_EXECUTABLE, copy_.path(), expectation_);
    }
    static std::string Describe(const GameResult& result) {
        return "exit " + (result.exitStatus ? std::to_string(*result.exitStatus) : "signal") + "\n--- log.txt ---\n" +
               result.log + "\n--- output ---\n" + result.output;
    }

    TempDir copy_;
    GameExpectation expectation_;
};

// Steps of the game's own clock: a beep, then one track, then a cross-fade to another.
// The sound thread may start the beep late on a busy machine: the game waits for it.
constexpr const char* kCrossFadeGame = R"(
local start, step = nil, 0
function boot() end
function init() snd_load() end
function update(dt)
  local t = timer_time()
  start = start or t
  local e = t - start
  if step == 0 and e > 0.3 then snd_play_sound('beep') step = 1
  elseif step == 1 and (snd_is_sound_playing('beep') or e > 1.1) then
    log('beep playing: ' .. tostring(snd_is_sound_playing('beep')))
    step = 2
  elseif step == 2 and e > 1.2 then snd_play_music('music/low') step = 3
  elseif step == 3 and e > 3.4 then snd_play_music('music/high') step = 4
  elseif step == 4 and e > 5.4 then
    log('volumes ' .. snd_sound_volume() .. ' ' .. snd_music_volume())
    snd_stop_music(false)
    step = 5
  end
end
function music_stopped(name) log('music stopped: ' .. name) sys_exit() end
function render() end
)";

TEST_F(SoundGame, ASoundPlaysAtItsPitchAndACrossFadeIsLinear) {
    WavSpec beep;
    beep.rate = 22050;
    copy_.Write("data/sounds/beep.wav", MakeWav(beep, TonePcm16(1, 22050, 22050 / 2, 660, 0.5)));
    copy_.Write("data/music/low.ogg", EncodeOgg(1, 22050, ToneFloats(1, 22050, 22050 * 4, 440, 0.4)));
    copy_.Write("data/music/high.ogg", EncodeOgg(1, 22050, ToneFloats(1, 22050, 22050 * 4, 1000, 0.4)));
    const GameResult result = Run(kCrossFadeGame,
                                  "log beep playing: true\nlog volumes 100 100\nline music stopped: music/high\n"
                                  "no-log music stopped: music/low");
    ASSERT_EQ(result.exitStatus, 0) << Describe(result);
    ASSERT_EQ(CheckLog(expectation_, result.log), std::vector<std::string>{}) << Describe(result);

    const Recording r = ReadRecording(ReadWholeFile(copy_ / "out.wav"));
    ASSERT_GT(r.rate, 0);
    ASSERT_GT(r.samples.size(), static_cast<std::size_t>(r.rate) * 4) << "the recording runs to the exit";
    const std::size_t window = static_cast<std::size_t>(r.rate) / 25;  // 40 ms
    const std::size_t hop = window / 2;
    std::vector<double> beep660, beep330, beep1320, low, high;
    for (std::size_t at = 0; at + window <= r.samples.size(); at += hop) {
        beep660.push_back(Level(r, at, window, 660));
        beep330.push_back(Level(r, at, window, 330));
        beep1320.push_back(Level(r, at, window, 1320));
        low.push_back(Level(r, at, window, 440));
        high.push_back(Level(r, at, window, 1000));
    }
    const double seconds = static_cast<double>(hop) / r.rate;

    // The beep: 660 Hz, not an octave off as a sample rate read wrong would give.
    const auto loudest = std::max_element(beep660.begin(), beep660.end()) - beep660.begin();
    EXPECT_GT(beep660[loudest], 0.1);
    EXPECT_LT(beep330[loudest], beep660[loudest] / 10);
    EXPECT_LT(beep1320[loudest], beep660[loudest] / 10);

    // Steady levels: the low track alone before the cross-fade, the high one alone after.
    const double lowFull = *std::max_element(low.begin(), low.end());
    const double highFull = *std::max_element(high.begin(), high.end());
    ASSERT_GT(lowFull, 0.05);
    ASSERT_GT(highFull, 0.05);
    std::size_t begin = 0;
    while (begin < high.size() && high[begin] < 0.05 * highFull) ++begin;
    std::size_t end = begin;
    while (end < low.size() && low[end] > 0.05 * lowFull) ++end;
    ASSERT_LT(end, low.size());
    const double length = static_cast<double>(end - begin) * seconds;
    EXPECT_NEAR(length, 1.0, 0.35) << "the cross-fade lasts about a second";
    for (std::size_t i = begin; i < end; ++i) {
        const double down = low[i] / lowFull, up = high[i] / highFull;
        EXPECT_NEAR(down + up, 1.0, 0.1) << "at " << i * seconds << " s";
        EXPECT_NEAR(up, static_cast<double>(i - begin) / static_cast<double>(end - begin), 0.2) << "at " << i * seconds << " s";
    }
}

// NaN and infinite volumes are silence: nothing reaches the recording, OpenAL refuses
// no gain, and the getters read 0.
TEST_F(SoundGame, NonFiniteVolumesAreSilent) {
    WavSpec beep;
    beep.rate = 22050;
    copy_.Write("data/sounds/beep.wav", MakeWav(beep, TonePcm16(1, 22050, 22050, 660, 0.5)));
    const std::string script = R"(
local start, step = nil, 0
function boot() end
function init() snd_load() end
function update(dt)
  local t = timer_time()
  start = start or t
  if step == 0 and t - start > 0.3 then
    snd_play_sound('beep', false, 0/0) snd_music_volume(-1/0) snd_sound_volume(1/0) step = 1
  elseif step == 1 and t - start > 1.3 then
    log('volumes ' .. snd_sound_volume() .. ' ' .. snd_music_volume() .. ', beep ' ..
        tostring(snd_is_sound_playing('beep')))
    sys_exit()
  end
end
function render() end
)";
    const GameResult result = Run(script, "line volumes 0 0, beep true\nno-log OpenAL error");
    ASSERT_EQ(result.exitStatus, 0) << Describe(result);
    ASSERT_EQ(CheckLog(expectation_, result.log), std::vector<std::string>{}) << Describe(result);
    const Recording r = ReadRecording(ReadWholeFile(copy_ / "out.wav"));
    ASSERT_GT(r.rate, 0);
    ASSERT_GT(r.samples.size(), static_cast<std::size_t>(r.rate)) << "the recording runs to the exit";
    const float loudest = std::abs(*std::max_element(r.samples.begin(), r.samples.end(),
                                                     [](float a, float b) { return std::abs(a) < std::abs(b); }));
    EXPECT_LT(loudest, 0.001f);
}

TEST_F(SoundGame, WithoutADeviceTheGameRunsSilentAndEnds) {
    const std::string script = R"(
function boot() end
function init() snd_load() snd_play_sound('x') snd_play_music('m') end
function update() log('silent ' .. snd_sound_volume() .. ' ' .. tostring(snd_is_sound_playing('x'))) sys_exit() end
function render() end
)";
    copy_.Write("data/init.lua", script);
    expectation_ = ParseExpectation("log silent 0 false\nenv ALSOFT_DRIVERS=nothing");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation_);
    EXPECT_EQ(result.exitStatus, 0) << Describe(result);
    EXPECT_EQ(CheckLog(expectation_, result.log), std::vector<std::string>{}) << Describe(result);
    // The thread gives up on its own time, before or after the frame: order is not fixed.
    EXPECT_EQ(CheckLog(ParseExpectation("log Failed to alcOpenDevice"), result.log), std::vector<std::string>{})
        << Describe(result);
}

}  // namespace
