#include "core/crash.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "core/config.h"
#include "core/log.h"
#include "fixtures/temp_dir.h"
#include "platform/linux/crash_guard.h"
#include "storage/storage.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(CrashSender, ArgumentVectors) {
    const struct {
        bool createLog, sendErrors, dumpWritten;
        Arguments expected;
    } cases[] = {
        {false, true, true, {"LOCAL"}},
        {false, false, false, {"LOCAL"}},
        {true, false, true, {"LOCAL", "/w d/log.txt"}},
        {true, true, true, {"my game", "/w d/log.txt", "/w d/crash.dmp"}},
        {true, true, false, {"my game", "/w d/log.txt"}},
    };
    for (const auto& c : cases) {
        const CrashSenderInput input{c.createLog, c.sendErrors, c.dumpWritten, "my game", "/w d/log.txt", "/w d/crash.dmp"};
        EXPECT_EQ(CrashSenderArguments(input), c.expected) << c.createLog << c.sendErrors << c.dumpWritten;
    }
}

// The crash path in a child process, with a sender that records the arguments it got,
// one per line.
class CrashPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        dump = (dir / "saved games/crash.dmp").string();
        log = (dir / "saved games/log.txt").string();  // as the writable container names it
        recorded = dir / "sender.args";
        std::filesystem::create_directories(dir / "saved games");
        const auto sender = dir.Write("bugpost", "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" +
                                                     recorded.string() + ".tmp\"\nmv \"" + recorded.string() +
                                                     ".tmp\" \"" + recorded.string() + "\"\n");
        std::filesystem::permissions(sender, std::filesystem::perms::owner_all);
    }
    void TearDown() override { InitConfigDefaults(); }

    // Runs in the child.
    void Arm(bool createLog, bool sendErrors) const {
        g_config.create_log = createLog;
        g_config.send_errors = sendErrors;
        g_config.product_code = "game code";
        ResetCrashStateForTests();
        InitStorage();
        AddDirectoryStorage((dir / "saved games").string(), true, false);
        SetCrashDumpPath(dump);
        SetCrashSenderProgram((dir / "bugpost").string());
        InstallCrashPath();
    }

    // The sender runs on after the crashed child is gone.
    std::string SenderArguments() const {
        for (int i = 0; i < 500 && !std::filesystem::exists(recorded); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(recorded);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string Dump() const {
        std::ifstream in(dump);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    TempDir dir;
    std::string dump, log;
    std::filesystem::path recorded;
};

#ifdef VELK_SANITIZED
TEST_F(CrashPathTest, SegfaultIsLeftToTheSanitizer) {
    EXPECT_DEATH(
        {
            Arm(true, true);
            std::raise(SIGSEGV);
        },
        "AddressSanitizer");
    EXPECT_FALSE(std::filesystem::exists(dump)) << "no crash report of ours";
}
#else
TEST_F(CrashPathTest, SegfaultWritesTheReportAndStartsTheSenderWithTheDump) {
    EXPECT_EXIT(
        {
            Arm(true, true);
            std::raise(SIGSEGV);
        },
        testing::ExitedWithCode(kExitCrash), "");
    EXPECT_EQ(SenderArguments(), "game code\n" + log + "\n" + dump + "\n");
    const std::string report = Dump();
    EXPECT_NE(report.find("reason: signal 11 (SEGV)"), std::string::npos) << report.substr(0, 200);
    EXPECT_NE(report.find("registers:\n  rip 0x"), std::string::npos);
    EXPECT_NE(report.find("backtrace:\n  #0 0x"), std::string::npos);
    EXPECT_NE(report.find("memory map:\n"), std::string::npos);
    EXPECT_NE(report.find("test_core +0x"), std::string::npos) << "frames name their module and offset";
}
#endif

TEST_F(CrashPathTest, WithoutCreateLogNoDumpAndTheSenderRunsLocal) {
    EXPECT_EXIT(
        {
            Arm(false, true);
            std::abort();
        },
        testing::ExitedWithCode(kExitCrash), "");
    EXPECT_EQ(SenderArguments(), "LOCAL\n");
    EXPECT_FALSE(std::filesystem::exists(dump));
}

TEST_F(CrashPathTest, FatalErrorWithSendErrorsOffGivesLocalAndTheLog) {
    EXPECT_EXIT(
        {
            Arm(true, false);
            VELK_ERROR("boom");
        },
        testing::ExitedWithCode(kExitFatal), "ERROR AT crash_test.cpp");
    EXPECT_EQ(SenderArguments(), "LOCAL\n" + log + "\n");
    EXPECT_NE(Dump().find("reason: fatal error"), std::string::npos);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wterminate"
TEST_F(CrashPathTest, FatalErrorBeforeTheDumpPathIsSetStillGivesTheSenderTheLog) {
    EXPECT_EXIT(
        {
            Arm(true, true);
            SetCrashDumpPath("");
            VELK_ERROR("script error in init.lua");
        },
        testing::ExitedWithCode(kExitFatal), "");
    EXPECT_EQ(SenderArguments(), "game code\n" + log + "\n");
    EXPECT_FALSE(std::filesystem::exists(dump));
}

TEST_F(CrashPathTest, UncaughtExceptionRunsTheCrashPath) {
    EXPECT_EXIT(
        {
            Arm(true, true);
            []() noexcept { throw std::runtime_error("nobody catches this"); }();
        },
        testing::ExitedWithCode(kExitCrash), "");
    EXPECT_NE(Dump().find("reason: terminate"), std::string::npos);
}
#pragma GCC diagnostic pop

TEST_F(CrashPathTest, ASecondCrashInsideTheFirstPassesOnToTheSystem) {
    EXPECT_EXIT(
        {
            Arm(true, true);
            CreateExceptionReport(CrashInfo{SIGSEGV, nullptr, nullptr, nullptr}, true, dump);
            std::raise(SIGILL);  // one the guard handles in every build
        },
        testing::KilledBySignal(SIGILL), "");
}

TEST_F(CrashPathTest, ReportIsOncePerProcessAndSkippedWithoutCreateLog) {
    ResetCrashStateForTests();
    const CrashInfo info{0, nullptr, nullptr, "test"};
    EXPECT_EQ(CreateExceptionReport(info, false, dump), 1);
    EXPECT_FALSE(std::filesystem::exists(dump));
    EXPECT_EQ(CreateExceptionReport(info, true, dump), 1);
    EXPECT_TRUE(std::filesystem::exists(dump));
    EXPECT_EQ(CreateExceptionReport(info, true, dump), 0);
    EXPECT_EQ(CreateExceptionReport(info, false, dump), 1);
    ResetCrashStateForTests();
    EXPECT_EQ(CreateExceptionReport(info, true, (dir / "missing/folder/crash.dmp").string()), 1)
        << "an unwritable report still runs the handler";
    ResetCrashStateForTests();
}

}  // namespace
