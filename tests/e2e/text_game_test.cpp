// Text through the real executable, read back from screenshots: the TrueText game of
// games/true_text (its own screenshot), TrueText of a real face on both back ends
// (sharp_text), a missing bitmap font asked for every frame (missing_font), and the example
// game's title and counter in a window smaller than its virtual screen, saved by F12
// pressed through xdotool.
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

// The sharp_text game (TrueText of DejaVu Sans, white on black, 320 x 240) in a window of
// its own size and in a letterboxed one (1.25 times, bars of 50 pixels at the sides).
struct TextWindow {
    const char* name;
    int width, height;
    float scale;
};

const TextWindow kTextWindows[] = {{"VirtualSize", 320, 240, 1.0f}, {"Letterboxed", 500, 300, 1.25f}};

class SharpText : public TextShot {
protected:
    // Runs the game on the software device, or with `opengl` on the X display.
    void RunSharpText(const TextWindow& window, bool opengl) {
        for (const auto& entry : fs::directory_iterator(copy_.path())) fs::remove_all(entry.path());
        const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
        fs::copy(kE2eDir / "sharp_text", copy_.path(), options);
        fs::copy_file("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", copy_ / "data/fonts/dejavu.ttf");
        std::ofstream(copy_ / "config.cfg", std::ios::app)
            << "window_width = " << window.width << "\nwindow_height = " << window.height << "\n"
            << (opengl ? "opengl = true\n" : "");
        const std::string environment = opengl ? "env SDL_VIDEODRIVER=x11\n" : "";
        Run(ParseExpectation(environment + "log text: init\nlog text: screenshot taken\nno-log WARNING\nno-log ERROR"),
            "user/shot.bmp");
    }
    static int Brightest(Rgb c) { return std::max({c.r, c.g, c.b}); }
    // Columns of the game rectangle [left, right) x [top, bottom) holding any ink.
    std::vector<bool> InkedColumns(const TextWindow& w, int left, int top, int right, int bottom) const {
        std::vector<bool> inked;
        for (int x = Scaled(w, left); x < Scaled(w, right); ++x)
            inked.push_back(Count(x, Scaled(w, top), x + 1, Scaled(w, bottom), [](Rgb c) { return Brightest(c) > 40; }) > 0);
        return inked;
    }
    static int Scaled(const TextWindow& w, int v) { return static_cast<int>(std::lround(static_cast<float>(v) * w.scale)); }
};

class SharpTextGame : public SharpText, public testing::WithParamInterface<TextWindow> {};

// "Toy" has no gap wider than the face's own spacing between its kerned letters; stems of
// 10-pixel letters are drawn from whole texels (read between two texels, a stem of one
// pixel came out at half its brightness); the half-alpha layer draws each pixel of the
// opaque word at half.
TEST_P(SharpTextGame, KernedSharpAndHalfTransparent) {
    const TextWindow& w = GetParam();
    RunSharpText(w, false);
    ASSERT_EQ(shot_.width, Scaled(w, 320));
    const std::vector<bool> toy = InkedColumns(w, 8, 8, 60, 44);
    const auto first = std::find(toy.begin(), toy.end(), true);
    const auto last = std::find(toy.rbegin(), toy.rend(), true).base();
    ASSERT_LT(first, last);
    int gap = 0, widest = 0;
    for (auto c = first; c != last; ++c) {
        gap = *c ? 0 : gap + 1;
        widest = std::max(widest, gap);
    }
    EXPECT_LE(widest, 2) << "no hole between the kerned o and the y";
    int stem = 0;
    for (int y = Scaled(w, 98); y < Scaled(w, 115); ++y)
        for (int x = Scaled(w, 8); x < Scaled(w, 50); ++x) stem = std::max(stem, Brightest(At(x, y)));
    EXPECT_GE(stem, 185) << "the brightest stem pixel";
    // The half word 140 game pixels below the opaque one.
    const int below = Scaled(w, 150) - Scaled(w, 10);
    int inked = 0, wrong = 0;
    for (int y = Scaled(w, 8); y < Scaled(w, 44); ++y)
        for (int x = Scaled(w, 8); x < Scaled(w, 60); ++x) {
            const Rgb full = At(x, y), half = At(x, y + below);
            inked += full.r > 200;
            wrong += std::abs(half.r - full.r * 128 / 255) > 2 || half.r != half.g || half.g != half.b;
        }
    EXPECT_GT(inked, 30);
    EXPECT_EQ(wrong, 0) << "pixels of the half word that are not half the opaque one";
}

INSTANTIATE_TEST_SUITE_P(TrueText, SharpTextGame, testing::ValuesIn(kTextWindows),
                         [](const testing::TestParamInfo<TextWindow>& info) { return info.param.name; });

// Under the private X server (ctest's e2e_text_backends_under_x): OpenGL on llvmpipe draws
// the same blocks from the same texels, so the default back end's picture equals its own
// within 2 a channel, every pixel, in both windows.
class SharpTextBackEnds : public SharpText {
protected:
    void SetUp() override {
        if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    }
};

TEST_F(SharpTextBackEnds, DirectThreeDDrawsWhatOpenGLDraws) {
    for (const TextWindow& w : kTextWindows) {
        RunSharpText(w, false);
        if (HasFatalFailure()) return;
        const DecodedImage d3d = std::move(shot_);
        RunSharpText(w, true);
        if (HasFatalFailure()) return;
        ASSERT_EQ(shot_.width, d3d.width) << w.name;
        ASSERT_EQ(shot_.height, d3d.height) << w.name;
        int differing = 0, inked = 0;
        for (int y = 0; y < shot_.height; ++y)
            for (int x = 0; x < shot_.width; ++x) {
                const Rgb gl = At(x, y);
                const uint32_t rgba = d3d.pixels[static_cast<std::size_t>(y) * d3d.width + x];
                const int r = static_cast<int>(rgba & 0xFFu), g = static_cast<int>(rgba >> 8 & 0xFFu),
                          b = static_cast<int>(rgba >> 16 & 0xFFu);
                inked += gl.r > 0;
                differing += std::abs(gl.r - r) > 2 || std::abs(gl.g - g) > 2 || std::abs(gl.b - b) > 2;
            }
        EXPECT_GT(inked, 500) << w.name;
        EXPECT_EQ(differing, 0) << w.name << ": pixels more than 2 apart";
    }
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// A font that was never loaded, asked for every frame for ten seconds in dev_mode: one
// warning and one (headless) warning box, not one a frame.
TEST(MissingFontGame, WarnsOnceInTenSeconds) {
    TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy.path(), options);
    fs::copy(kE2eDir / "missing_font", copy.path(), options);
    const GameExpectation expectation =
        ParseExpectation("log text: init\nlog frames\nno-log ERROR\ntime-limit 60");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
    EXPECT_EQ(Occurrences(result.log, "Font not found: missing"), 1);
    EXPECT_EQ(Occurrences(result.output, "[WARNING]"), 1) << "message boxes";
}

// Runs only under the X server of tests/tools/run_under_x.sh (ctest's demo_text_under_x).
class DemoUnderX : public TextShot {
protected:
    void SetUp() override {
        if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    }
};

// xdotool: waits for the demo's window, lets it run, presses F12 (a screenshot), clicks the
// panel's rim right of the sparks button (game (990, 652), window (773, 509): inside the
// centred label's own bounds, outside the drawn button), then the button itself (game
// (888, 652), window (694, 509)) and ends the game with SIGTERM, its normal shutdown.
int ScreenshotClickAndEnd() {
    const std::string script = FindWindowScript("Velk Demo") +
                               " && sleep 2.5 && xdotool windowfocus $id && sleep 0.5 && xdotool key F12 && sleep 2 && "
                               "xdotool mousemove --window $id 773 509 && sleep 0.2 && xdotool click 1 && sleep 0.5 && "
                               "xdotool mousemove --window $id 694 509 && sleep 0.2 && xdotool click 1 && sleep 1 && "
                               "kill -TERM $(xdotool getwindowpid $id)";
    return std::system(script.c_str());
}

// The demo's 1024 x 768 screen in an 800 x 600 window (0.78125 of it): the title's warm
// letters in the top right corner, the counter's white ones at the bottom left, the panel's
// rim and the button fitted around its label at the bottom right; a click on the rim beside
// the button does nothing, a click on the button turns the sparks off.
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
                         "log demo: Sparks: off\nlog demo: destroyed\nno-log demo: Sparks: on\nno-log ERROR"),
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
