// Text through the real executable, read back from screenshots: the TrueText game of
// games/true_text (its own screenshot), and the example game's title and counter in a
// window smaller than its virtual screen, saved by F12 pressed through xdotool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <string>

#include "fixtures/temp_dir.h"
#include "game_run.h"
#include "graphics/image_loader.h"
#include "x_window.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

struct Rgb {
    int r = 0, g = 0, b = 0;
};

class TextShot : public testing::Test {
protected:
    // Runs the prepared copy and reads the picture it left at `shot`.
    void Run(const GameExpectation& expectation, const fs::path& shot) {
        const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
        ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
        ASSERT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
        const std::string bytes = ReadWholeFile(copy_ / shot);
        ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot_), 0)
            << DescribeGameResult(result);
    }
    Rgb At(int x, int y) const {
        const uint32_t rgba = shot_.pixels[static_cast<std::size_t>(y) * shot_.width + x];  // bytes R, G, B, A
        return {static_cast<int>(rgba & 0xFFu), static_cast<int>(rgba >> 8 & 0xFFu), static_cast<int>(rgba >> 16 & 0xFFu)};
    }
    // Pixels of the rectangle [left, right) x [top, bottom) that pass the test.
    int Count(int left, int top, int right, int bottom, const std::function<bool(Rgb)>& test) const {
        int count = 0;
        for (int y = std::max(top, 0); y < std::min(bottom, shot_.height); ++y)
            for (int x = std::max(left, 0); x < std::min(right, shot_.width); ++x) count += test(At(x, y));
        return count;
    }

    TempDir copy_;
    DecodedImage shot_;
};

// The built-in font's thin strokes come out as shades of the colour.
bool Yellow(Rgb c) { return c.r > 60 && c.g > 60 && c.b < 30 && std::abs(c.r - c.g) < 20; }

// The game's 320 x 240 screen drawn into a 640 x 480 window: text placed at game
// coordinates lands at twice them (the built-in font keeps its 16-pixel glyphs).
TEST_F(TextShot, TrueTextGameDrawsWhereTheLetterboxPutsIt) {
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy_.path(), options);
    fs::copy(kE2eDir / "games" / "true_text", copy_.path(), options);
    Run(ParseExpectation(ReadWholeFile(copy_ / "expect.txt")), "user/shot.bmp");
    ASSERT_EQ(shot_.width, 640);
    // The component's "AA" at (40, 60): 14 x 16 from (80, 120).
    EXPECT_GT(Count(80, 120, 94, 136, Yellow), 25) << "the text component";
    EXPECT_EQ(Count(40, 60, 60, 76, Yellow), 0) << "not at the game's own coordinates";
    // "AAA" right-aligned at (200, 60): 21 wide, ending at x 400.
    EXPECT_GT(Count(379, 120, 400, 136, Yellow), 40) << "gfx_render_text";
    EXPECT_EQ(Count(0, 0, 640, 480, Yellow), Count(80, 120, 94, 136, Yellow) + Count(379, 120, 400, 136, Yellow))
        << "no other text anywhere";
}

// Runs only under the X server of tests/tools/run_under_x.sh (ctest's demo_text_under_x).
class DemoUnderX : public TextShot {
protected:
    void SetUp() override {
        if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    }
};

// xdotool: waits for the demo's window, lets it run, presses F12 (a screenshot), clicks the
// sparks button (game (888, 652), window (694, 509)) and ends the game with SIGTERM, its
// normal shutdown.
int ScreenshotClickAndEnd() {
    const std::string script = FindWindowScript("Velk Demo") +
                               " && sleep 2.5 && xdotool windowfocus $id && sleep 0.5 && xdotool key F12 && sleep 2 && "
                               "xdotool mousemove --window $id 694 509 && sleep 0.2 && xdotool click 1 && sleep 1 && "
                               "kill -TERM $(xdotool getwindowpid $id)";
    return std::system(script.c_str());
}

// The demo's 1024 x 768 screen in an 800 x 600 window (0.78125 of it): the title's warm
// letters in the top right corner, the counter's white ones at the bottom left, the panel's
// rim and the button fitted around its label at the bottom right; a click on the button
// turns the sparks off.
TEST_F(DemoUnderX, ShowsTextAndAPanelWhoseButtonWorks) {
    fs::copy(kE2eDir / "../../examples/demo", copy_.path(), fs::copy_options::recursive);
    std::string config = ReadWholeFile(copy_ / "config.cfg");
    for (const auto& [from, to] : {std::pair{"window_width = 1024", "window_width = 800"},
                                   std::pair{"window_height = 768", "window_height = 600"}}) {
        const std::size_t at = config.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        config.replace(at, std::string(from).size(), to);
    }
    std::ofstream(copy_ / "config.cfg", std::ios::trunc) << config;
    auto presser = std::async(std::launch::async, ScreenshotClickAndEnd);
    Run(ParseExpectation("env SDL_VIDEODRIVER=x11\ntime-limit 120\nterminate-after 90\nlog demo: init\n"
                         "log demo: Sparks: off\nlog demo: destroyed\nno-log ERROR"),
        "user/screenshots/screen000.bmp");
    EXPECT_EQ(presser.get(), 0);
    ASSERT_EQ(shot_.width, 800);
    const auto warm = [](Rgb c) { return c.r > 200 && c.g > 120 && c.b < 190; };
    const auto white = [](Rgb c) { return c.r > 220 && c.g > 220 && c.b > 220; };
    // Title: right edge at 1004 and top at 14 in the game, 44-pixel letters.
    EXPECT_GT(Count(560, 8, 790, 60, warm), 300) << "the title";
    EXPECT_EQ(Count(560, 0, 800, 8, warm), 0) << "nothing above it";
    // Counter: from (20, 734) in the game, 22-pixel letters.
    EXPECT_GT(Count(12, 568, 260, 596, white), 100) << "the counter";
    // Panel: a 232 x 112 nine-patch from (772, 596) with a cream rim.
    const auto cream = [](Rgb c) { return c.r > 200 && c.g > 190 && c.b > 150 && c.b < 225; };
    EXPECT_GT(Count(600, 462, 790, 560, cream), 200) << "the panel's rim";
    // Button: its rectangle's padding above the label (game y 626 to 640).
    const auto button = [](Rgb c) { return c.r < 90 && c.g > 90 && c.g < 130 && c.b > 160; };
    EXPECT_GT(Count(650, 490, 740, 500, button), 600) << "the button's rectangle";
}

}  // namespace
