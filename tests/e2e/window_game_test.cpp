// The window under a private X server with real input: the mouse in a letterboxed window
// (a 320 x 240 game in an 800 x 480 window: scale 2, 80-pixel bars left and right), and
// the window's icon read from an ICO file; a message box over the game.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"
#include "x_window.h"

namespace {

namespace fs = std::filesystem;

class WindowUnderX : public testing::Test {
protected:
    void SetUp() override {
        if (!UnderPrivateX()) GTEST_SKIP() << "needs the private X server";
    }
    void Copy(const char* game) {
        const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
        fs::copy(fs::path(VELK_E2E_DIR) / "common", copy_.path(), options);
        fs::copy(fs::path(VELK_E2E_DIR) / game, copy_.path(), options);
    }

    TempDir copy_;
};

using PointerUnderX = WindowUnderX;
using IconUnderX = WindowUnderX;
using DoubleClickUnderX = WindowUnderX;
using MessageBoxUnderX = WindowUnderX;

// Clicks at the window pixel of virtual (100, 60); once the game says it parked the
// cursor, writes where the X pointer is relative to the window and the window's size,
// then clicks again to end the game.
int ClickThenReadTheParkedPointer(const fs::path& game) {
    const std::string log = (game / "user/log.txt").string();
    const std::string out = (game / "pointer.txt").string();
    const std::string script =
        FindWindowScript("Velk Letterbox Click") +
        " && xdotool mousemove --window $id 280 120 && sleep 0.2 && xdotool click 1"
        " && for i in $(seq 200); do grep -q 'parked at' '" + log + "' && break; sleep 0.2; done"
        " && sleep 0.5"
        " && eval $(xdotool getmouselocation --shell | sed 's/^/MOUSE_/')"
        " && eval $(xdotool getwindowgeometry --shell $id)"
        " && echo $((MOUSE_X - X)) $((MOUSE_Y - Y)) $WIDTH $HEIGHT > '" + out + "'"
        " && xdotool click 1";
    return std::system(script.c_str());
}

TEST_F(PointerUnderX, ClickReachesScriptAndSceneInVirtualPixelsAndParkingStaysInTheWindow) {
    Copy("letterbox_click");
    const GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog pointer: ready\n"
        "line click 1 at 100,60\nline hit circle at click 1\nline parked at 320,240\nlog click 2 at");
    auto clicker = std::async(std::launch::async, [this] { return ClickThenReadTheParkedPointer(copy_.path()); });
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    EXPECT_EQ(clicker.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << result.log;
    int x = -1, y = -1, width = 0, height = 0;
    std::ifstream(copy_ / "pointer.txt") >> x >> y >> width >> height;
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 480);
    // The corner (320, 240) is window pixel (720, 480), one row below the window.
    EXPECT_EQ(x, 720);
    EXPECT_EQ(y, 479);
}

// The largest image of the ICO, a 24-bit bitmap whose mask clears the top-left pixel,
// becomes the window's icon: read back from the window with xprop.
TEST_F(IconUnderX, IcoFileIsTheWindowsIcon) {
    Copy("window_icon");
    copy_.Write("icon.ico", EncodeIco({{16, 16, 32, EncodeImage(FixtureFormat::Png, 16, 16, 4, IconPixels(16, 16))},
                                       {32, 32, 24, EncodeIconBitmap(32, 32, IconPixels(32, 32), 24)}}));
    const std::string out = (copy_ / "icon.txt").string();
    const std::string script = FindWindowScript("Velk Window Icon") +
                               " && xprop -id $id -notype -f _NET_WM_ICON 32c _NET_WM_ICON > '" + out +
                               "' && xdotool mousemove --window $id 10 10 click 1";
    const GameExpectation expectation =
        ParseExpectation("env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog icon: ready\nno-log ERROR");
    auto reader = std::async(std::launch::async, [&script] { return std::system(script.c_str()); });
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    EXPECT_EQ(reader.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << result.log;
    // Width, height, then ARGB pixels: (10, 20, 30) clear, then (10, 21, 30) opaque.
    const std::string icon = copy_.Read("icon.txt");
    EXPECT_EQ(icon.rfind("_NET_WM_ICON = 32, 32, 660510, 4278850846, ", 0), 0u) << icon.substr(0, 200);
}

// Two quick presses 30 pixels apart are two clicks; two on the same pixel are a double
// click, whose second press the game never sees. The last click ends the game.
TEST_F(DoubleClickUnderX, OnlyPressesOnTheSameSpotMakeADoubleClick) {
    Copy("double_click");
    const std::string script = FindWindowScript("Velk Double Click") +
                               " && xdotool mousemove --window $id 100 100 click 1 sleep 0.08"
                               " mousemove --window $id 130 100 click 1 && sleep 1"
                               " && xdotool mousemove --window $id 200 150 click --repeat 2 --delay 80 1 && sleep 1"
                               " && xdotool mousemove --window $id 50 200 click 1";
    const GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\ntime-limit 90\nlog clicks: ready\nline click 1 at 100,100\n"
        "line click 2 at 130,100\nline click 3 at 200,150\nline click 4 at 50,200");
    auto clicker = std::async(std::launch::async, [&script] { return std::system(script.c_str()); });
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    EXPECT_EQ(clicker.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
}

// Waits for the warning box over the game's window, notes the stacking order of the
// screen's windows (top-most first), the box's owner and both ids, sends SIGTERM to the
// game, and notes which boxes are left once it has ended. xdotool cannot search for the
// box: its name is a UTF-8 property, which xwininfo reads.
int NoteTheBoxThenTerminate(const fs::path& game) {
    const std::string out = (game / "box").string();
    const std::string findBox = "box=$(xwininfo -root -children | awk '/\"WARNING\": / { print $1; exit }')";
    const std::string script =
        FindWindowScript("Velk Message Box") + " && box= && for try in $(seq 120); do " + findBox +
        "; [ -n \"$box\" ] && break; sleep 0.5; done"
        " && [ -n \"$box\" ] && sleep 0.5"
        " && xwininfo -root -children > '" + out + "-stack.txt'"
        " && xprop -id $box WM_TRANSIENT_FOR > '" + out + "-owner.txt'"
        " && printf '%x %s\\n' $id $box > '" + out + "-ids.txt'"
        " && pid=$(xdotool getwindowpid $id) && kill -TERM $pid"
        " && for try in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done"
        " && sleep 0.5 && " + findBox + " && echo \"$box\" > '" + out + "-left.txt'";
    return std::system(script.c_str());
}

// dev_mode under an X server without a window manager: the warning box opens above the
// game's window and owned by it; SIGTERM while it is open ends the box and then the game
// through its normal shutdown (status 0, the script's destroy), and a second warning in
// the same update opens no box (its text goes to standard error).
TEST_F(MessageBoxUnderX, CloseSignalEndsAnOpenBoxAndTheGame) {
    Copy("message_box");
    const GameExpectation expectation = ParseExpectation(
        "env SDL_VIDEODRIVER=x11\nenv VELK_HEADLESS=\ntime-limit 60\nlog box: opening\nlog box: closed\n"
        "log box: second warning passed\nlog box: destroyed");
    auto watcher = std::async(std::launch::async, [this] { return NoteTheBoxThenTerminate(copy_.path()); });
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    EXPECT_EQ(watcher.get(), 0);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);

    std::string game, box;
    std::ifstream(copy_ / "box-ids.txt") >> game >> box;
    ASSERT_FALSE(box.empty()) << "the box was seen";
    game = "0x" + game;
    const std::string stack = ReadWholeFile(copy_ / "box-stack.txt");
    const std::size_t boxAt = stack.find(box + " "), gameAt = stack.find(game + " ");
    ASSERT_NE(boxAt, std::string::npos) << stack;
    ASSERT_NE(gameAt, std::string::npos) << stack;
    EXPECT_LT(boxAt, gameAt) << "the box is above the game's window\n" << stack;
    EXPECT_NE(ReadWholeFile(copy_ / "box-owner.txt").find("window id # " + game + "\n"), std::string::npos)
        << ReadWholeFile(copy_ / "box-owner.txt");
    EXPECT_EQ(ReadWholeFile(copy_ / "box-left.txt"), "\n") << "no box outlives the game";
    // The box that was ended and the one never opened both leave their text.
    std::size_t printed = 0;
    for (std::size_t at = result.output.find("[WARNING] WARNING AT "); at != std::string::npos;
         at = result.output.find("[WARNING] WARNING AT ", at + 1))
        ++printed;
    EXPECT_EQ(printed, 2u) << result.output;
}

}  // namespace
