// Every folder under games/ is one test: its files are laid over common/ (the start
// files every game needs) in a temporary copy, the engine runs there, and its
// "expect.txt" says what the exit status and "user/log.txt" must show.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"
#include "fixtures/zip_writer.h"
#include "game_run.h"
#include "graphics/image_loader.h"
#include "storage/storage.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

std::vector<std::string> GameNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kE2eDir / "games"))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Describe(const GameResult& result) {
    std::string text = result.timedOut ? "timed out; " : "";
    text += result.exitStatus ? "exit status " + std::to_string(*result.exitStatus)
                              : "signal " + std::to_string(result.signal);
    return text + "\n--- log.txt ---\n" + result.log + "\n--- output ---\n" + result.output;
}

class Game : public testing::TestWithParam<std::string> {};

TEST_P(Game, RunsAsExpected) {
    const fs::path source = kE2eDir / "games" / GetParam();
    const GameExpectation expectation = ParseExpectation(ReadWholeFile(source / "expect.txt"));
    const TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy.path(), options);
    fs::copy(source, copy.path(), options);

    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    std::vector<std::string> faults = CheckLog(expectation, result.log);
    const bool statusOk = expectation.exitStatus ? result.exitStatus == expectation.exitStatus
                                                 : result.exitStatus && *result.exitStatus != 0;
    if (!statusOk) faults.insert(faults.begin(), "wrong exit status");
    std::string summary;
    for (const std::string& fault : faults) summary += fault + "\n";
    EXPECT_TRUE(faults.empty() && !result.timedOut) << summary << Describe(result);
}

INSTANTIATE_TEST_SUITE_P(E2e, Game, testing::ValuesIn(GameNames()),
                         [](const testing::TestParamInfo<std::string>& info) { return info.param; });

// The example game that `make run` starts, as it stands (it never ends by itself).
TEST(Demo, BootsAndRunsFrames) {
    const TempDir copy;
    fs::copy(kE2eDir / "../../examples/demo", copy.path(), fs::copy_options::recursive);
    const GameExpectation expectation =
        ParseExpectation("terminate-after 5\nlog demo: boot\nlog demo: init\nlog demo: 30 frames\nlog demo: destroyed");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    EXPECT_EQ(result.exitStatus, 0) << Describe(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << Describe(result);
}

// Games whose scripts are not where a plain copy would put them.
class GameData : public testing::Test {
protected:
    void SetUp() override { fs::copy(kE2eDir / "common", copy_.path(), fs::copy_options::recursive); }
    GameResult Run(const GameExpectation& expectation) { return RunGame(VELK_EXECUTABLE, copy_.path(), expectation); }

    const std::string script_ = "function boot() log('booted from ' .. where) end\n"
                                "function init() end\nfunction update() sys_exit() end\nfunction render() end\n";
    TempDir copy_;
};

TEST_F(GameData, StartsFromAnEncryptedArchiveAlone) {
    WriteEncryptedZip((copy_ / "data.pak").string(), {{"init.lua", "where = 'pak'\n" + script_}}, kArchivePassword, false);
    const GameExpectation expectation = ParseExpectation("log booted from pak");
    const GameResult result = Run(expectation);
    EXPECT_EQ(result.exitStatus, 0) << Describe(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << Describe(result);
}

TEST_F(GameData, FindsScriptsNamedInAnotherCase) {
    copy_.Write("Data/Init.LUA", "where = 'mixed case'\n" + script_);
    const GameExpectation expectation = ParseExpectation("log booted from mixed case");
    const GameResult result = Run(expectation);
    EXPECT_EQ(result.exitStatus, 0) << Describe(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << Describe(result);
}

// A scene drawn through the graphics API and the bitmap components, saved by the script's
// own screenshot and read back here.
class ScreenshotGame : public testing::Test {
protected:
    // An opaque image of equal cells side by side, one colour (0xRRGGBB) each.
    void WriteImage(const std::string& name, int width, int height, const std::vector<uint32_t>& cellColours) const {
        const int cell = width / static_cast<int>(cellColours.size());
        std::vector<uint8_t> pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t c = cellColours[static_cast<std::size_t>(x / cell)];
                pixels.insert(pixels.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                             static_cast<uint8_t>(c), 0xFF});
            }
        copy_.Write("data/" + name, EncodeImage(FixtureFormat::Png, width, height, 4, pixels));
    }
    // 0xRRGGBB of a pixel of the saved picture.
    uint32_t At(int x, int y) const {
        if (x < 0 || y < 0 || x >= shot_.width || y >= shot_.height) return 0xDEADBEEFu;
        const uint32_t rgba = shot_.pixels[static_cast<std::size_t>(y) * shot_.width + x];  // bytes R, G, B, A
        return (rgba & 0xFFu) << 16 | (rgba & 0xFF00u) | (rgba >> 16 & 0xFFu);
    }

    TempDir copy_;
    DecodedImage shot_;
};

TEST_F(ScreenshotGame, PixelsOfTheSceneSavedByTheScript) {
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy_.path(), options);
    fs::copy(kE2eDir / "screenshot", copy_.path(), options);
    WriteImage("hero.png", 16, 16, {0xFFFF00});
    WriteImage("strip.png", 16, 8, {0x0000FF, 0xFF00FF});
    copy_.Write("data/strip.txt", "f1 0 0 8 8 4 4\nf2 8 0 8 8 4 4\n");
    const GameExpectation expectation = ParseExpectation("log gfx: screenshot taken");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    ASSERT_EQ(result.exitStatus, 0) << Describe(result);
    const std::string bytes = ReadWholeFile(copy_ / "user/shot.bmp");
    ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot_), 0)
        << Describe(result);
    ASSERT_EQ(shot_.width, 320);
    ASSERT_EQ(shot_.height, 240);
    EXPECT_EQ(At(5, 5), 0x000040u) << "background box";
    EXPECT_EQ(At(60, 60), 0xFFFFFFu) << "the canvas drawn into, then drawn";
    EXPECT_EQ(At(46, 46), 0x00FF00u);
    EXPECT_EQ(At(60, 160), 0xFF0000u) << "half size, tinted";
    EXPECT_EQ(At(50, 150), 0x000040u);
    EXPECT_EQ(At(200, 60), 0xFFFF00u) << "bitmap component";
    EXPECT_EQ(At(209, 60), 0x000040u);
    EXPECT_EQ(At(260, 60), 0x0000FFu) << "the animation's first frame";
    EXPECT_EQ(At(194, 154), 0xFFFF00u) << "animated grid";
    EXPECT_EQ(At(200, 170), 0x000040u);
}

// Debug-font text drawn by the script before and after the window is re-created, with
// TrueText off and on, in dev_mode: it still draws, and no texture is left unreleased.
class SimpleTextGame : public ScreenshotGame, public testing::WithParamInterface<bool> {};

TEST_P(SimpleTextGame, DrawsAcrossARecreationAndReleasesItsTexture) {
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy_.path(), options);
    fs::copy(kE2eDir / "simple_text", copy_.path(), options);
    if (GetParam()) {
        std::ofstream(copy_ / "config.cfg", std::ios::app) << "true_text = true\n";
    }
    const GameExpectation expectation = ParseExpectation(
        "log text: init\nlog Toggling full screen\nlog text: screenshot taken\nno-log Texture is not released\n"
        "no-log WARNING");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy_.path(), expectation);
    ASSERT_EQ(result.exitStatus, 0) << Describe(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << Describe(result);
    EXPECT_EQ(result.output.find("not released properly"), std::string::npos) << Describe(result);
    const std::string bytes = ReadWholeFile(copy_ / "user/shot.bmp");
    ASSERT_NE(TryDecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), shot_), 0)
        << Describe(result);
    // Window pixels: four capitals from x 10 on the row about y 20, one more after 2100
    // characters of no width at y 50.
    const auto inkIn = [&](int left, int top, int right, int bottom) {
        int ink = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) ink += At(x, y) != 0 && At(x, y) != 0xDEADBEEFu;
        return ink;
    };
    EXPECT_GT(inkIn(10, 16, 42, 32), 40) << "HHHH";
    EXPECT_GT(inkIn(10, 46, 18, 62), 10) << "the capital in the second chunk";
    EXPECT_EQ(inkIn(42, 16, 100, 32), 0);
    EXPECT_EQ(inkIn(18, 46, 100, 62), 0);
}

INSTANTIATE_TEST_SUITE_P(TrueText, SimpleTextGame, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "On" : "Off"; });

TEST(Expectation, ReadsEveryDirective) {
    const GameExpectation e = ParseExpectation(
        "# comment\n\nexit nonzero\nlog first line  \nline  second\nno-log never\ntime-limit 5\nterminate-after 1.5\n"
        "env A_B=c=d\nenv EMPTY=\n");
    EXPECT_FALSE(e.exitStatus);
    EXPECT_EQ(e.logLines, (std::vector<GameExpectation::LogLine>{{"first line  ", false}, {"second", true}}));
    EXPECT_EQ(e.absentLines, std::vector<std::string>{"never"});
    EXPECT_EQ(e.timeLimit, 5);
    EXPECT_EQ(e.terminateAfter, 1.5);
    EXPECT_EQ(e.environment, (std::vector<std::pair<std::string, std::string>>{{"A_B", "c=d"}, {"EMPTY", ""}}));
    EXPECT_EQ(ParseExpectation("exit 3").exitStatus, 3);
    EXPECT_THROW(ParseExpectation("exits 0"), std::runtime_error);
    EXPECT_THROW(ParseExpectation("exit maybe"), std::runtime_error);
    EXPECT_THROW(ParseExpectation("time-limit -1"), std::runtime_error);
    EXPECT_THROW(ParseExpectation("env NOVALUE"), std::runtime_error);
    EXPECT_THROW(ParseExpectation("env =x"), std::runtime_error);
}

TEST(Expectation, LogLinesMatchInOrderOnePerLine) {
    GameExpectation e;
    e.logLines = {{"b", false}, {"a", false}};
    e.absentLines = {"z"};
    EXPECT_EQ(CheckLog(e, "a\nb\na\n"), std::vector<std::string>{});
    EXPECT_EQ(CheckLog(e, "a\nb\n"), std::vector<std::string>{"missing (in order): a"});
    EXPECT_EQ(CheckLog(e, "b a z"), (std::vector<std::string>{"missing (in order): a", "present: z"}));
    e.logLines = {{"42", true}};
    EXPECT_EQ(CheckLog(e, "x42\n"), std::vector<std::string>{"missing (in order): 42"});
    EXPECT_EQ(CheckLog(e, "x42\r\n42\r\n"), std::vector<std::string>{});
}

}  // namespace
