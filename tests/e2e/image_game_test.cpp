// Images stored top-down, with a short palette and right to left, loaded and drawn by a
// game in a window twice its virtual size, and a screenshot too large for its file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"
#include "graphics/image_loader.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

constexpr int kSide = 16;

// Tightly packed RGB pixels: colour(x, y) as 0xRRGGBB.
std::vector<uint8_t> Rgb(uint32_t (*colour)(int, int)) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const uint32_t c = colour(x, y);
            pixels.insert(pixels.end(),
                          {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
        }
    return pixels;
}

uint32_t RedOverBlue(int, int y) { return y < kSide / 2 ? 0xFF0000u : 0x0000FFu; }
uint32_t YellowBesideMagenta(int x, int) { return x < kSide / 2 ? 0xFFFF00u : 0xFF00FFu; }

TEST(ImageGame, ImagesStoredEveryWayDrawUprightAndAHugeScreenshotOnlyWarns) {
    const TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy.path(), options);
    fs::copy(kE2eDir / "images", copy.path(), options);
    copy.Write("data/top.bmp", BmpToTopDown(EncodeImage(FixtureFormat::Bmp, kSide, kSide, 3, Rgb(RedOverBlue))));
    std::vector<uint8_t> indices(kSide * kSide);
    for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = i % kSide < kSide / 2 ? 0 : 5;
    copy.Write("data/short.bmp", EncodePalettedBmp(kSide, kSide, 8, {0x00FF00}, indices));
    copy.Write("data/rtl.tga", TgaToRightToLeft(EncodeImage(FixtureFormat::Tga, kSide, kSide, 3,
                                                            Rgb(YellowBesideMagenta)),
                                                kSide, kSide, 3));
    const GameExpectation expectation = ParseExpectation(
        "log images: top-down valid true\nlog images: short palette valid true\n"
        "log TakeScreenshot: \"huge.bmp\" - 100000x100000 pixels do not fit in a BMP file\n"
        "log images: going on after the huge screenshot\nlog images: screenshot taken\nno-log ERROR");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
    EXPECT_FALSE(fs::exists(copy / "user/huge.bmp"));

    const std::string bytes = ReadWholeFile(copy / "user/shot.bmp");
    DecodedImage shot;
    ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot), 0)
        << DescribeGameResult(result);
    ASSERT_EQ(shot.width, 640);
    // 0xRRGGBB at a virtual point, read in the window (twice the virtual size).
    const auto at = [&shot](int x, int y) {
        const uint32_t p = shot.pixels[static_cast<std::size_t>(2 * y) * shot.width + 2 * x];
        return (p & 0xFFu) << 16 | (p & 0xFF00u) | (p >> 16 & 0xFFu);
    };
    // Each image is centred on its point, 16 x 16 virtual pixels.
    EXPECT_EQ(at(40, 34), 0xFF0000u) << "top-down BMP: red on top";
    EXPECT_EQ(at(40, 46), 0x0000FFu);
    EXPECT_EQ(at(95, 40), 0x00FF00u) << "the one colour the palette holds";
    EXPECT_EQ(at(105, 40), 0x000000u) << "indices past the palette: black";
    EXPECT_EQ(at(155, 40), 0xFFFF00u) << "right-to-left TGA: yellow on the left";
    EXPECT_EQ(at(165, 40), 0xFF00FFu);
    EXPECT_EQ(at(10, 10), 0x000040u) << "background";
}

}  // namespace
