// Video games run by the real executable on clips made here: what the player shows and
// when, and how an unplayable file ends the program.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fixtures/temp_dir.h"
#include "fixtures/theora_video.h"
#include "game_run.h"
#include "graphics/image_loader.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

class VideoGame : public testing::Test {
protected:
    void SetUp() override { fs::copy(kE2eDir / "common", copy_.path(), fs::copy_options::recursive); }
    GameResult Run(const std::string& expectation) {
        const GameExpectation expected = ParseExpectation(expectation);
        GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expected);
        faults_ = CheckLog(expected, result.log);
        return result;
    }
    // The grey of a screenshot's pixel (its red byte), or -1 when it is not grey.
    int GreyAt(const std::string& shot, int x, int y) const {
        std::ifstream in(copy_ / "user" / shot, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        DecodedImage image;
        if (!TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image)) return -2;
        if (x >= image.width || y >= image.height) return -3;
        const uint32_t rgba = image.pixels[static_cast<std::size_t>(y) * image.width + x];
        const int r = rgba & 0xFF, g = rgba >> 8 & 0xFF, b = rgba >> 16 & 0xFF;
        return r == g && g == b ? r : -1;
    }
    // The time the game logged after `label`.
    static double LoggedTime(const std::string& log, const std::string& label) {
        const std::size_t at = log.find(label);
        return at == std::string::npos ? -1 : std::atof(log.c_str() + at + label.size());
    }

    TempDir copy_;
    std::vector<std::string> faults_;
};

int GreyOfFrame(int frame) { return std::clamp(static_cast<int>((FlatFrameLuma(frame) - 16) * 9535.988) >> 13, 0, 255); }

TEST_F(VideoGame, PlayerShowsTheClipsFramesOnTime) {
    fs::copy(kE2eDir / "video", copy_.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    TheoraVideoSpec spec;
    spec.frames = 50;
    copy_.Write("data/clip.ogv", MakeTheoraVideo(spec));
    const GameResult result = Run("log video: size 64x48\nlog video: middle at\nlog video: ended at");
    ASSERT_EQ(result.exitStatus, 0) << result.log << result.output;
    EXPECT_TRUE(faults_.empty()) << result.log;
    EXPECT_EQ(GreyAt("first.bmp", 130, 80), GreyOfFrame(0)) << "the first frame is there before any update";
    EXPECT_EQ(GreyAt("first.bmp", 90, 80), -1) << "beside the picture";

    // The frame whose interval holds the clip's clock (within rounding at a boundary).
    const double middle = LoggedTime(result.log, "video: middle at ");
    const int due = static_cast<int>(std::floor(middle / 0.04));
    const int shown = GreyAt("middle.bmp", 130, 80);
    EXPECT_TRUE(shown == GreyOfFrame(due) || (std::fabs(middle - due * 0.04) < 1e-3 && shown == GreyOfFrame(due - 1)))
        << "at " << middle << " s frame " << due << " is due; shown grey " << shown;

    const double ended = LoggedTime(result.log, "video: ended at ");
    EXPECT_GE(ended, 49 * 0.04 - 1e-3) << "the last frame is due at 1.96 s";
    EXPECT_LE(ended, 49 * 0.04 + 0.6) << "one long frame step at most";
    EXPECT_EQ(GreyAt("last.bmp", 130, 80), GreyOfFrame(49)) << "the last frame stays";
}

// The library's error ends the program through the fatal-error path, logged.
TEST_F(VideoGame, TruncatedVideoIsFatalWithTheLibrarysText) {
    copy_.Write("data/init.lua",
                "function boot() end\nfunction init()\n  local p = VideoPlayerComponent()\n"
                "  p:setup{video = 'cut'}\n  log('not reached')\nend\nfunction update() end\nfunction render() end\n");
    copy_.Write("data/cut.ogv", MakeTheoraVideo({}).substr(0, 100));
    const GameResult result = Run("exit 3\nlog End of file found prematurely\nno-log not reached");
    EXPECT_EQ(result.exitStatus, 3) << result.log << result.output;
    EXPECT_TRUE(faults_.empty()) << result.log;
}

}  // namespace
