// A game driven in this process, so that a click can reach it: SDL events are pushed
// into the real event queue, pumped and translated as the message loop does, and the
// engine runs its frames until the game ends itself.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/velk_main.h"
#include "core/config.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"
#include "platform/linux/events.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;
constexpr int kFrameLimit = 3000;
constexpr int kClickFrame = 10;

void PushMouse(Uint32 type, int x, int y) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_MOUSEMOTION) {
        event.motion.x = x;
        event.motion.y = y;
    } else {
        event.button.button = SDL_BUTTON_LEFT;
        event.button.clicks = 1;
        event.button.x = x;
        event.button.y = y;
    }
    SDL_PushEvent(&event);
}

// The message loop's body, with the click pushed at a fixed frame.
void RunFrames() {
    for (int frame = 0; frame < kFrameLimit && !g_app.quit_requested; ++frame) {
        if (frame == kClickFrame - 5) PushMouse(SDL_MOUSEMOTION, 60, 60);
        if (frame == kClickFrame) PushMouse(SDL_MOUSEBUTTONDOWN, 60, 60);
        if (frame == kClickFrame + 2) PushMouse(SDL_MOUSEBUTTONUP, 60, 60);
        PumpResult result = PumpResult::Handled;
        while (result == PumpResult::Handled) result = PumpOneEvent();
        if (result == PumpResult::Quit) break;
        MainFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

TEST(SceneGame, ClickSwitchesScreensFromItsHandler) {
    const TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy.path(), options);
    fs::copy(kE2eDir / "inprocess" / "scene_click", copy.path(), options);
    const fs::path previous = fs::current_path();
    fs::current_path(copy.path());
    setenv("VELK_HEADLESS", "1", 1);
    setenv("XDG_RUNTIME_DIR", copy.path().c_str(), 1);
    setenv("XDG_DATA_HOME", (copy.path() / "xdg-data").c_str(), 1);
    InitConfigDefaults();
    ASSERT_TRUE(VelkInit());
    RunFrames();
    EngineShutdown();
    fs::current_path(previous);

    const std::string log = ReadWholeFile(copy.path() / "user" / "log.txt");
    const GameExpectation expectation = ParseExpectation(ReadWholeFile(copy.path() / "expect.txt"));
    EXPECT_EQ(CheckLog(expectation, log), std::vector<std::string>{}) << log;
}

}  // namespace
