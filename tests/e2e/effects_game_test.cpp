// Games that need generated images: particles and collision masks through the flat
// functions (with a screenshot read back), and clicks on circle and mask shapes given by
// a real X server and xdotool, in a window twice the game's virtual size.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"
#include "graphics/image_loader.h"
#include "x_window.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

// An RGBA image whose pixel (x, y) is solid(x, y) ? opaque red : transparent black.
std::string MaskImage(int width, int height, bool (*solid)(int, int)) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.insert(pixels.end(), solid(x, y) ? std::initializer_list<uint8_t>{255, 0, 0, 255}
                                                    : std::initializer_list<uint8_t>{0, 0, 0, 0});
    return EncodeImage(FixtureFormat::Png, width, height, 4, pixels);
}

bool LeftHalf(int x, int) { return x < 10; }

class GeneratedGame : public testing::Test {
protected:
    void Copy(const char* game) {
        const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
        fs::copy(kE2eDir / "common", copy_.path(), options);
        fs::copy(kE2eDir / game, copy_.path(), options);
    }

    TempDir copy_;
};

TEST_F(GeneratedGame, ParticlesAndMasksThroughTheScripts) {
    Copy("effects");
    copy_.Write("data/dot.png", EncodeImage(FixtureFormat::Png, 8, 8, 4, std::vector<uint8_t>(8 * 8 * 4, 255)));
    copy_.Write("data/hit.png", MaskImage(20, 10, LeftHalf));
    copy_.Write("data/fx.txt",
                "# one still, white, additive particle\n"
                "(generator (texture dot) (particle_limit 4) (burst 0 1) (blending add) (looped 0)\n"
                "  (particle_alpha [0 1] [10 1]))\n");
    const GameExpectation expectation = ParseExpectation(
        "log fx: started userdata\nlog fx: without a name nil\nlog mask: size 20x10\n"
        "log mask: left true, right false, turned true, far false\n"
        "log mask: released handle gfx_collision_mask_size(NULL)\nlog fx: alive true\n"
        "log fx: after stop(true) alive false\nlog fx: released handle gfx_particle_update(NULL)\n"
        "line Collision mask is not released: hit.png [ref: 1]\nno-log ERROR");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
    // The particle sits at (160, 120) of the 320 x 240 game, drawn 16 x 16 in the window.
    const std::string bytes = ReadWholeFile(copy_ / "user/shot.bmp");
    DecodedImage shot;
    ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot), 0);
    ASSERT_EQ(shot.width, 640);
    const auto rgb = [&shot](int x, int y) {
        return shot.pixels[static_cast<std::size_t>(y) * shot.width + x] & 0xFFFFFFu;
    };
    EXPECT_EQ(rgb(320, 240), 0xFFFFFFu) << "the particle";
    EXPECT_EQ(rgb(320 + 7, 240 + 7), 0xFFFFFFu);
    EXPECT_EQ(rgb(320 + 9, 240), 0x400000u) << "the background (bytes R, G, B)";
}

// Runs only under the X server of tests/tools/run_under_x.sh (ctest's shape_click_under_x).
class ShapeClickUnderX : public GeneratedGame {
protected:
    void SetUp() override {
        if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    }
};

TEST_F(ShapeClickUnderX, ClicksHitTheCircleAndTheSolidHalfOfTheMask) {
    Copy("shape_click");
    copy_.Write("data/blob.png", MaskImage(40, 40, [](int x, int) { return x < 20; }));
    GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog shapes: ready\n"
        "line click 1 at 95,120\nline hit circle at click 1\nline click 2 at 230,120\nline hit mask at click 2\n"
        "line click 3 at 250,120\nline click 4 at 105,120\nno-log at click 3\nno-log at click 4");
    // Window pixels are twice the game's: (95, 120) in the circle, (230, 120) on the mask's
    // solid half, (250, 120) on its empty half, (105, 120) just outside the circle.
    auto clicker = std::async(std::launch::async, [] {
        return ClickInWindow("Velk Shape Click", {{190, 240}, {460, 240}, {500, 240}, {210, 240}});
    });
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    EXPECT_EQ(clicker.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
}

}  // namespace
