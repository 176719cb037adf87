#include "core/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/config.h"
#include "core/crash.h"
#include "core/string_utils.h"
#include "fixtures/temp_dir.h"
#include "storage/storage.h"

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        g_config.create_log = true;
    }
    void TearDown() override { InitConfigDefaults(); }

    template <typename Call>
    static std::string Echo(Call call) {
        testing::internal::CaptureStderr();
        call();
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(LogTest, LineLimitsAndLineEnds) {
    const std::string long_text(2000, 'x');
    EXPECT_EQ(Echo([&] { LogPrintf("%s", long_text.c_str()); }), std::string(1020, 'x') + "\n");
    EXPECT_EQ(Echo([] { LogPrintf("done\n"); }), "done\n");
    EXPECT_EQ(Echo([] { LogPrintf("done"); }), "done\n");
    EXPECT_EQ(Echo([] { LogPrintf("%s", ""); }), "");
    EXPECT_EQ(Echo([] { LogPrintf("%d%%", 50); }), "50%\n");
}

TEST_F(LogTest, NothingAtAllWithoutCreateLog) {
    g_config.create_log = false;
    EXPECT_EQ(Echo([] { LogPrintf("hello"); }), "");
    EXPECT_EQ(Echo([] { VELK_WARNING("hello"); }), "");
}

TEST_F(LogTest, WarningKeepsThePathAndLogsPercentSignsAsText) {
    EXPECT_EQ(Echo([] { LogWarning("./src/a/b.cpp", 12, "%s", "100% %d"); }),
              "WARNING AT ./src/a/b.cpp LINE 12:\n100% %d\n");
}

TEST_F(LogTest, WarningInDevModeAlsoShowsTheBox) {
    g_config.dev_mode = true;
    EXPECT_EQ(Echo([] { LogWarning("w.cpp", 1, "careful"); }),
              "WARNING AT w.cpp LINE 1:\ncareful\n[WARNING] WARNING AT w.cpp LINE 1:\ncareful\n");
}

// The sound thread's warnings: boxes belong to the main thread.
TEST_F(LogTest, AThreadThatLogsOnlyShowsNoBoxEvenInDevMode) {
    g_config.dev_mode = true;
    const auto warnFromThread = [] {
        std::thread([] {
            SetThreadLogOnly();
            LogWarning("w.cpp", 1, "careful");
        }).join();
    };
    EXPECT_EQ(Echo(warnFromThread), "WARNING AT w.cpp LINE 1:\ncareful\n");
}

TEST_F(LogTest, ErrorLogsTheFileNameAndEndsTheProcessWithAFailure) {
    EXPECT_EXIT(LogError("./src/core\\sub/thing.cpp", 42, "bad %s", "100%s"), testing::ExitedWithCode(kExitFatal),
                "^\n----------\nERROR AT thing.cpp, LINE 42:\nbad 100%s\n$");
}

TEST_F(LogTest, ErrorWithoutCreateLogStillEndsTheProcessAndShowsTheBoxInDevMode) {
    g_config.create_log = false;
    g_config.dev_mode = true;
    EXPECT_EXIT(VELK_ERROR("Can't load config file (%s).", "config.cfg"), testing::ExitedWithCode(kExitFatal),
                "^\\[ERROR\\] ERROR AT log_test.cpp, LINE [0-9]+:\nCan't load config file \\(config.cfg\\).\n$");
}

TEST_F(LogTest, ErrorWithNeitherLogNorBoxStillSaysWhyOnStandardError) {
    g_config.create_log = false;
    g_config.dev_mode = false;
    EXPECT_EXIT(VELK_ERROR("Cannot create application's window"), testing::ExitedWithCode(kExitFatal),
                "^ERROR AT log_test.cpp, LINE [0-9]+:\nCannot create application's window\n$");
}

TEST_F(LogTest, ErrorTextIsCutAtTheLineLimit) {
    const std::string long_text(2000, 'y');
    EXPECT_EXIT(LogError("f.cpp", 1, "%s", long_text.c_str()), testing::ExitedWithCode(kExitFatal),
                "ERROR AT f.cpp, LINE 1:\ny{996}\n$");
}

// The log as it lands in "log.txt" of a writable container.
class LogFileTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        InitStorage();
        ASSERT_TRUE(AddDirectoryStorage(dir.path().string(), true, false));
        testing::internal::CaptureStderr();
    }
    void TearDown() override {
        testing::internal::GetCapturedStderr();
        ShutdownStorage();
        LogTest::TearDown();
    }
    std::string File() const { return std::filesystem::exists(dir / "log.txt") ? dir.Read("log.txt") : ""; }
    TempDir dir;
};

TEST_F(LogFileTest, LinesAreAppendedAndResetRemovesTheFile) {
    LogPrintf("one");
    LogPrintf("two\n");
    EXPECT_THAT(File(), ::testing::EndsWith("one\r\ntwo\r\n")) << "text mode";
    ResetLogFile();
    EXPECT_FALSE(std::filesystem::exists(dir / "log.txt"));
    g_config.create_log = false;
    LogPrintf("three");
    ResetLogFile();
    EXPECT_FALSE(std::filesystem::exists(dir / "log.txt"));
}

TEST_F(LogFileTest, LinesFromTwoThreadsStayWhole) {
    ResetLogFile();
    const auto writer = [](char c) {
        const std::string line(300, c);
        for (int i = 0; i < 200; ++i) LogPrintf("%s", line.c_str());
    };
    std::thread sound(writer, 's');
    writer('m');
    sound.join();
    const std::vector<std::string> lines = SplitString(File(), "\r\n");
    ASSERT_EQ(lines.size(), 400u);
    for (const std::string& line : lines)
        ASSERT_TRUE(line == std::string(300, 's') || line == std::string(300, 'm')) << line.substr(0, 40);
}

}  // namespace
