// The developer console driven by real keys: xdotool types into the game's window under
// the private X server of tests/tools/run_under_x.sh (ctest's e2e_input_under_x). The
// window is letterboxed: the 320 x 240 game drawn twice its size from x = 80, and the
// screenshot holds that area (640 x 480).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "fixtures/temp_dir.h"
#include "game_run.h"
#include "graphics/image_loader.h"
#include "text/debug_font.h"
#include "x_window.h"

namespace {

namespace fs = std::filesystem;

// Back-quote opens the console, the line is typed and entered, F12 takes a screenshot,
// back-quote closes it.
constexpr const char* kLine = "log('console: the line ran') ran = updates";
constexpr int kPromptTop = 480 - 15;

int TypeIntoWindow() {
    const std::string script =
        FindWindowScript("Velk Console") + " && xdotool mousemove --window $id 100 100 && xdotool windowfocus --sync $id && "
        "xdotool key grave && sleep 0.3 && xdotool type --delay 30 \"" + std::string(kLine) + "\" && "
        "sleep 0.3 && xdotool key Return && sleep 0.3 && xdotool key F12 && sleep 0.5 && xdotool key grave";
    return std::system(script.c_str());
}

TEST(ConsoleUnderX, TypedKeysOpenTheConsoleRunALineAndCloseIt) {
    if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(fs::path(VELK_E2E_DIR) / "common", copy.path(), options);
    fs::copy(fs::path(VELK_E2E_DIR) / "console", copy.path(), options);
    copy.Write("user/console_history.txt", "older = 1\r\n");
    const GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog console: ready\nline console: the line ran\n"
        "line console: updates since the line 1\nno-log LUA ERROR");
    auto typist = std::async(std::launch::async, TypeIntoWindow);
    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    EXPECT_EQ(typist.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
    EXPECT_EQ(copy.Read("user/console_history.txt"), "older = 1\r\n" + std::string(kLine) + "\r\n")
        << "loaded at start-up, saved at shutdown";

    const std::string bytes = copy.Read("user/screenshots/screen000.bmp");
    DecodedImage shot;
    ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot), 0);
    ASSERT_EQ(shot.width, 640);
    const auto pixel = [&shot](int x, int y) { return shot.pixels[static_cast<std::size_t>(y) * shot.width + x]; };
    bool promptInk = false;
    for (int y = kPromptTop - 4; y < kPromptTop + 12; ++y)
        for (int x = 0; x < DebugFont_TextWidth("> ", 2); ++x) {
            const uint32_t c = pixel(x, y);
            promptInk = promptInk || static_cast<int>(c >> 8 & 0xFF) - static_cast<int>(c & 0xFF) >= 32;
        }
    EXPECT_TRUE(promptInk) << "the green prompt at the bottom left of the game's area";
}

}  // namespace
