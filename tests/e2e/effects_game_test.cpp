// Games that need generated images: particles and collision masks through the flat
// functions, and the scene-graph components (each with a screenshot read back); clicks on
// circle and mask shapes and on a button that grew around its label, given by a real X
// server and xdotool, in a window twice the game's virtual size.
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
    // Runs the game, checks its exit status and log, and reads the window-sized picture
    // its script saved as "shot.bmp".
    void RunForScreenshot(const GameExpectation& expectation, DecodedImage& shot) {
        const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
        ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
        EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
        const std::string bytes = ReadWholeFile(copy_ / "user/shot.bmp");
        ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot), 0);
        ASSERT_EQ(shot.width, 640);
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
        "log mask: released handle gfx_collision_mask_size(NULL)\n"
        "log fx: stale release false gfx_particle_release(NULL), fresh alive true\n"
        "log bitmap: stale false 0 values, new 20 10 10 5\nlog fx: alive true\n"
        "log fx: after stop(true) alive false\nlog fx: released handle gfx_particle_update(NULL)\n"
        "line Collision mask is not released: hit.png [ref: 1]\nno-log ERROR");
    DecodedImage shot;
    ASSERT_NO_FATAL_FAILURE(RunForScreenshot(expectation, shot));
    // The particle sits at (160, 120) of the 320 x 240 game, drawn 16 x 16 in the window.
    const auto rgb = [&shot](int x, int y) {
        return shot.pixels[static_cast<std::size_t>(y) * shot.width + x] & 0xFFFFFFu;
    };
    EXPECT_EQ(rgb(320, 240), 0xFFFFFFu) << "the particle";
    EXPECT_EQ(rgb(320 + 7, 240 + 7), 0xFFFFFFu);
    EXPECT_EQ(rgb(320 + 9, 240), 0x400000u) << "the background (bytes R, G, B)";
}

// The components game's images: a 32 x 32 nine-patch sheet whose patches (columns and
// rows 12, 8 and 12 wide) are each one colour, a 40 x 20 yellow label and a white dot.
constexpr uint32_t kPatchColours[3][3] = {{0xFF0000, 0xFFFF00, 0xFF00FF},
                                          {0x00FF00, 0xFFFFFF, 0x808080},
                                          {0x0000FF, 0x00FFFF, 0xFF8000}};  // [column][row]

void WriteComponentsImages(const TempDir& copy) {
    const auto band = [](int v) { return v < 12 ? 0 : v < 20 ? 1 : 2; };
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint32_t c = kPatchColours[band(x)][band(y)];
            pixels.insert(pixels.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                         static_cast<uint8_t>(c), 0xFF});
        }
    copy.Write("data/patches.png", EncodeImage(FixtureFormat::Png, 32, 32, 4, pixels));
    copy.Write("data/patches.txt",
               "lt 0 0 12 12 0 0\nmt 12 0 8 12 0 0\nrt 20 0 12 12 0 0\nlm 0 12 12 8 0 0\nmm 12 12 8 8 0 0\n"
               "rm 20 12 12 8 0 0\nlb 0 20 12 12 0 0\nmb 12 20 8 12 0 0\nrb 20 20 12 12 0 0\narea 0 0 32 32 16 16\n");
    std::vector<uint8_t> yellow;
    for (int i = 0; i < 40 * 20; ++i) yellow.insert(yellow.end(), {255, 255, 0, 255});
    copy.Write("data/label.png", EncodeImage(FixtureFormat::Png, 40, 20, 4, yellow));
    copy.Write("data/dot.png", EncodeImage(FixtureFormat::Png, 4, 4, 4, std::vector<uint8_t>(4 * 4 * 4, 255)));
    copy.Write("data/once.txt", "(generator (texture dot) (particle_limit 4) (burst 0 1) (looped 0))\n");
}

TEST_F(GeneratedGame, ComponentsDrawFitAndFinish) {
    Copy("components");
    WriteComponentsImages(copy_);
    const GameExpectation expectation = ParseExpectation(
        "log button: size 60x40\nlog components: ready\nlog components: screenshot taken\nlog painter: updates 6\n"
        "log effect: finished true\nlog effect: kill 1\nlog effect: objects left 4\nno-log effect: kill 2\n"
        "no-log ERROR");
    DecodedImage shot;
    ASSERT_NO_FATAL_FAILURE(RunForScreenshot(expectation, shot));
    // Window pixels, twice the game's; 0xRRGGBB.
    const auto rgb = [&shot](int x, int y) {
        const uint32_t p = shot.pixels[static_cast<std::size_t>(y) * shot.width + x];  // bytes R, G, B, A
        return (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
    };
    struct Probe {
        int x, y;
        uint32_t colour;
        const char* what;
    } probes[] = {
        // The box at (20, 20): columns 12, 28 (the middle stretched) and 12 wide.
        {52, 52, kPatchColours[0][0], "lt"}, {92, 52, kPatchColours[1][0], "mt"},
        {132, 52, kPatchColours[2][0], "rt"}, {52, 72, kPatchColours[0][1], "lm"},
        {92, 72, kPatchColours[1][1], "mm"}, {132, 92, kPatchColours[2][2], "rb"},
        {150, 52, 0x000040, "right of the box"},
        // The box turned a quarter about (200, 20): right in the box is down the screen, a
        // lower row further left.
        {388, 52, kPatchColours[0][0], "turned lt"}, {388, 92, kPatchColours[1][0], "turned mt"},
        {388, 132, kPatchColours[2][0], "turned rt"}, {368, 52, kPatchColours[0][1], "turned lm"},
        {348, 132, kPatchColours[2][2], "turned rb"}, {404, 52, 0x000040, "right of the turned box"},
        // The button: the label's 40 x 20 with 10 around it, the label on top.
        {68, 268, 0xFF0000, "button rim"}, {176, 336, 0xFF0000, "button rim, lower right"},
        {120, 300, 0xFFFF00, "label"}, {184, 300, 0x000040, "right of the button"},
        {310, 410, 0x00FF00, "drawn by the script component"},
    };
    for (const Probe& p : probes) EXPECT_EQ(rgb(p.x, p.y), p.colour) << p.what;
}

// Runs only under the X server of tests/tools/run_under_x.sh (ctest's *_under_x).
class ShapeClickUnderX : public GeneratedGame {
protected:
    void SetUp() override {
        if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    }
};
using ComponentsUnderX = ShapeClickUnderX;

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


// The button's shape grew with its rectangle: a click on the rim outside the label (and
// outside what the shape held before the rectangle grew) hits; one past the rim misses.
TEST_F(ComponentsUnderX, AClickOnTheGrownRimHitsTheButton) {
    Copy("components");
    WriteComponentsImages(copy_);
    std::ofstream(copy_ / "data/init.lua", std::ios::app) << "wait_for_clicks = true\n";
    GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog components: ready\nline click 1 at 85,165\n"
        "line button: hit at click 1\nline click 2 at 95,150\nno-log hit at click 2");
    auto clicker =
        std::async(std::launch::async, [] { return ClickInWindow("Velk Components", {{170, 330}, {190, 300}}); });
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    EXPECT_EQ(clicker.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
}

}  // namespace
