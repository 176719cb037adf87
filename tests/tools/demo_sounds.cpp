// Writes the example game's sounds: a looping tune and a click (run it again after
// changing either): demo_sounds examples/demo/data
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>

#include "fixtures/sound_fixtures.h"

namespace {

constexpr int kRate = 22050;

void Save(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
}

// Eight soft notes of a pentatonic arpeggio, each fading out, four seconds in all.
std::vector<float> Tune() {
    const double notes[] = {261.63, 329.63, 392.00, 440.00, 523.25, 440.00, 392.00, 329.63};
    const int noteFrames = kRate / 2;
    std::vector<float> samples;
    for (const double frequency : notes)
        for (int i = 0; i < noteFrames; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double envelope = std::min(1.0, t * 50) * std::exp(-3 * t);
            samples.push_back(static_cast<float>(0.3 * envelope * std::sin(2 * std::numbers::pi * frequency * t)));
        }
    return samples;
}

// A short tick: a high tone dying away in 30 ms.
std::string Click() {
    std::string pcm;
    for (int i = 0; i < kRate * 30 / 1000; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const auto value = static_cast<int16_t>(20000 * std::exp(-t * 150) * std::sin(2 * std::numbers::pi * 1800 * t));
        pcm += static_cast<char>(value & 0xFF);
        pcm += static_cast<char>(value >> 8 & 0xFF);
    }
    WavSpec spec;
    spec.rate = kRate;
    return MakeWav(spec, pcm);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_sounds DATA_FOLDER\n");
        return 1;
    }
    const std::string data = argv[1];
    Save(data + "/music/theme.ogg", EncodeOgg(1, kRate, Tune()));
    Save(data + "/sounds/click.wav", Click());
    return 0;
}
