#include "app/velk_main.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "core/config.h"
#include "core/input.h"
#include "core/profile.h"
#include "fixtures/engine_frame.h"
#include "fixtures/fake_clock.h"
#include "script/lua_base.h"

namespace {

CommandLine Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "velk");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

TEST(CommandLine, Table) {
    const struct {
        std::vector<const char*> arguments;
        bool version;
        const char* config;
    } cases[] = {
        {{}, false, "config.cfg"},
        {{"version"}, true, "config.cfg"},
        {{"VERSION"}, true, "config.cfg"},
        {{"config=a.cfg", "VerSion", "x"}, true, "a.cfg"},
        {{"versions"}, false, "config.cfg"},
        {{"config="}, false, "config.cfg"},
        {{"CONFIG=Other.cfg"}, false, "Other.cfg"},
        {{"config=a.cfg", "config=b.cfg"}, false, "b.cfg"},
        {{"config=a.cfg", "config="}, false, "a.cfg"},
        {{"config"}, false, "config.cfg"},
    };
    for (const auto& c : cases) {
        const CommandLine line = Parse(c.arguments);
        EXPECT_EQ(line.show_version, c.version) << (c.arguments.empty() ? "" : c.arguments[0]);
        EXPECT_EQ(line.config_file, c.config) << (c.arguments.empty() ? "" : c.arguments[0]);
    }
}

TEST(CommandLine, VersionText) {
    EXPECT_THAT(VersionText(), ::testing::MatchesRegex("Velk Engine Version: 3\\.X\nBuild date: [A-Z][a-z][a-z] +[0-9]+ "
                                                       "[0-9]{4}\nRevision id: [0-9a-f]+"));
}

int g_exit_calls = 0;
bool ScriptDefinesExit() {
    ++g_exit_calls;
    return true;
}
bool ScriptLacksExit() {
    ++g_exit_calls;
    return false;
}

TEST(ClosePolicy, ConfirmExitTimesOriginTimesExitDefined) {
    const struct {
        bool confirm;
        int origin;
        ScriptExitHandler exit;
        bool quits;
        int exitCalls;
    } cases[] = {
        {false, 2, ScriptDefinesExit, true, 0}, {false, 1, ScriptDefinesExit, true, 0},
        {true, 2, ScriptDefinesExit, false, 1}, {true, 2, ScriptLacksExit, true, 1},
        {true, 1, ScriptDefinesExit, true, 0},  {true, 0, ScriptDefinesExit, true, 0},
        {true, 2, nullptr, true, 0},
    };
    for (const auto& c : cases) {
        g_exit_calls = 0;
        EXPECT_EQ(CloseQuits(c.confirm, c.origin, c.exit), c.quits) << c.confirm << " " << c.origin;
        EXPECT_EQ(g_exit_calls, c.exitCalls) << c.confirm << " " << c.origin;
    }
}

// The engine's frame on a fake clock, with no window and a script that does nothing.
class MainFrameTest : public ::testing::Test {
protected:
    FakeFrameTimer timer{5000};
    uint32_t& g_now = FakeClock::now;

    void SetUp() override {
        StartEngineFrameTest();
        ASSERT_EQ(luaL_dostring(LuaGetState(), "function update() end function render() end"), 0);
    }
    void TearDown() override { EndEngineFrameTest(); }
    // Passes of the message loop with no message waiting, `ms` apart.
    int PassesUpdating(int passes, uint32_t ms) {
        int updated = 0;
        for (int i = 0; i < passes; ++i) {
            const double before = GetFrameTimer().fps;
            const int newest = GetFrameTimer().newest;
            g_now += ms;
            MainFrame();
            if (GetFrameTimer().newest != newest || GetFrameTimer().fps != before) ++updated;
        }
        return updated;
    }
};

TEST_F(MainFrameTest, FrameRateLimitFollowsTheAccumulator) {
    double dt = 0;
    std::vector<double> admitted;
    for (int pass = 0; pass < 8; ++pass) {
        dt = 0.010;
        admitted.push_back(LimitFrameRate(dt, 30) ? dt : 0);
    }
    // 10, 20, 30 ms stay below 1/30 s; the fourth pass runs with 40 ms.
    EXPECT_EQ(admitted, (std::vector<double>{0, 0, 0, 0.040, 0, 0, 0, 0.040}));
}

TEST_F(MainFrameTest, CappedRateShowsTheCapNotTheSpinRate) {
    g_config.fps_limit = 30;
    PassesUpdating(4000, 1);  // four seconds of 1 ms passes
    EXPECT_NEAR(GetFrameTimer().fps, 1000.0 / 34, 0.1) << "34 passes of 1 ms reach 1/30 s";
    EXPECT_NEAR(GetFrameTimer().fps_shown, 1000.0 / 34, 0.1);
}

TEST_F(MainFrameTest, UncappedRateIsThePassRate) {
    PassesUpdating(2000, 2);
    EXPECT_NEAR(GetFrameTimer().fps, 500, 1.0);
}

TEST_F(MainFrameTest, FirstPassRegainsFocusAndMinimisingStopsUpdates) {
    MainFrame();
    EXPECT_TRUE(g_engine.focused);
    EXPECT_FALSE(g_engine.frame_rendered) << "the regain resets the timer: no time has passed";
    g_now += 16;
    MainFrame();
    EXPECT_TRUE(g_engine.frame_rendered);
    g_app.minimised = true;
    QueueInputEvent(kInputKeyDown, 65, 0, 0, false);
    MainFrame();
    EXPECT_FALSE(g_engine.focused);
    EXPECT_EQ(g_input.write_queue.size(), 1u) << "no update while unfocused";
    g_app.minimised = false;
    g_now += 60000;
    MainFrame();
    EXPECT_TRUE(g_engine.focused);
    EXPECT_LE(GetFrameTimer().dt, 0.001 + 1e-9) << "the time away is not one long step";
}

TEST_F(MainFrameTest, AltEnterRequestsTheToggleInAnyMode) {
    for (const bool devMode : {false, true}) {
        g_config.dev_mode = devMode;
        g_engine.full_screen_toggle_requested = false;
        QueueInputEvent(kInputKeyDown, 18, 0, 0, false);
        QueueInputEvent(kInputKeyDown, 13, 0, 0, false);
        MainUpdate(0.01f);
        EXPECT_TRUE(g_engine.full_screen_toggle_requested) << devMode;
        QueueInputEvent(kInputKeyDown, 13, 0, 0, true);  // auto-repeat does not count
        g_engine.full_screen_toggle_requested = false;
        MainUpdate(0.01f);
        EXPECT_FALSE(g_engine.full_screen_toggle_requested) << devMode;
        QueueInputEvent(kInputKeyUp, 18, 0, 0, false);
        QueueInputEvent(kInputKeyUp, 13, 0, 0, false);
        MainUpdate(0.01f);
    }
}

TEST_F(MainFrameTest, AltF9ResetsTheProfilerOnlyInDevMode) {
    for (const bool devMode : {false, true}) {
        g_config.dev_mode = devMode;
        ProfileStart("tag");
        ProfileStop("tag");
        QueueInputEvent(kInputKeyDown, 18, 0, 0, false);
        QueueInputEvent(kInputKeyDown, 120, 0, 0, false);
        MainUpdate(0.01f);
        EXPECT_EQ(ProfileTagCount() == 0, devMode) << devMode;
        QueueInputEvent(kInputKeyUp, 18, 0, 0, false);
        QueueInputEvent(kInputKeyUp, 120, 0, 0, false);
        MainUpdate(0.01f);
    }
}

}  // namespace
