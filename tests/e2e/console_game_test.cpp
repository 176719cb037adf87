// The developer console driven by real keys: xdotool types into the game's window under
// the private X server of tests/tools/run_under_x.sh (ctest's e2e_input_under_x).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "fixtures/temp_dir.h"
#include "game_run.h"

namespace {

namespace fs = std::filesystem;

// Back-quote opens the console, the line is typed and entered, back-quote closes it.
constexpr const char* kLine = "log('console: the line ran') ran = updates";

int TypeIntoWindow() {
    const std::string script =
        "id=$(timeout 40 xdotool search --sync --onlyvisible --name 'Velk Console' | head -n 1) && "
        "[ -n \"$id\" ] && sleep 0.5 && xdotool mousemove --window $id 100 100 && xdotool windowfocus --sync $id && "
        "xdotool key grave && sleep 0.3 && xdotool type --delay 30 \"" + std::string(kLine) + "\" && "
        "sleep 0.3 && xdotool key Return && sleep 0.5 && xdotool key grave";
    return std::system(script.c_str());
}

TEST(ConsoleUnderX, TypedKeysOpenTheConsoleRunALineAndCloseIt) {
    if (!std::getenv("DISPLAY") || !std::getenv("VELK_X_CLICKS")) GTEST_SKIP() << "needs the private X server";
    TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(fs::path(VELK_E2E_DIR) / "common", copy.path(), options);
    fs::copy(fs::path(VELK_E2E_DIR) / "console", copy.path(), options);
    const GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog console: ready\nline console: the line ran\n"
        "line console: updates since the line 1\nno-log LUA ERROR");
    auto typist = std::async(std::launch::async, TypeIntoWindow);
    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    EXPECT_EQ(typist.get(), 0);
    const std::string context = "--- log.txt ---\n" + result.log + "\n--- output ---\n" + result.output;
    ASSERT_EQ(result.exitStatus, 0) << context;
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << context;
    EXPECT_EQ(copy.Read("user/console_history.txt"), std::string(kLine) + "\r\n") << "saved at shutdown";
}

}  // namespace
