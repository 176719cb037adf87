#pragma once
// Particle effects on the software device: "dot.png" is an 8 x 8 opaque white image,
// effects are written to the mounted folder and loaded from it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "core/random.h"
#include "effects/particle_system.h"
#include "fixtures/image_fixtures.h"
#include "unit/graphics/software_device_fixture.h"

class ParticleTest : public SoftwareDeviceTest {
protected:
    void SetUp() override {
        Open(64, 64, 64, 64);
        BeginFrame();
        SeedRandom(1);
        WriteImage("dot.png", 8, 8, [](int, int) { return 0xFFFFFFFFu; });
    }
    // An image whose pixel (x, y) is the RGBA word pixel(x, y) (0xAABBGGRR).
    void WriteImage(const std::string& name, int width, int height, const std::function<uint32_t(int, int)>& pixel) {
        std::vector<uint8_t> bytes;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t p = pixel(x, y);
                bytes.insert(bytes.end(), {static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 8),
                                           static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 24)});
            }
        dir_.Write(name, EncodeImage(FixtureFormat::Png, width, height, 4, bytes));
    }
    // One inline generator with a texture, 100 slots and the given key lists.
    ParticleSystemPtr LoadEmitter(const std::string& keys) {
        return LoadFile("(generator (texture dot) (particle_limit 100) " + keys + ")");
    }
    ParticleSystemPtr LoadFile(const std::string& text) {
        dir_.Write("fx.txt", text);
        return ParticleSystem_Load("fx.txt");
    }
    static ParticleEmitter& First(ParticleSystem& system) { return *system.emitters.at(0); }
    static int LiveCount(const ParticleEmitter& emitter) {
        int live = 0;
        for (int i = 0; i < emitter.limit; ++i) live += emitter.particles[i].alive ? 1 : 0;
        return live;
    }
    // Fatal paths report on standard error only while the log is on.
    static void Fatal(const std::function<void()>& call) {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        g_config.create_log = true;
        call();
    }
};
