// Saves through the real executable into a writable folder that earlier, killed runs left
// temporary files in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/dead_pid.h"
#include "fixtures/temp_dir.h"
#include "game_run.h"

namespace {

namespace fs = std::filesystem;

const fs::path kE2eDir = VELK_E2E_DIR;

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(StorageGame, AFirstSaveRemovesOnlyTheSlotsTemporariesOfEndedRuns) {
    const TempDir copy;
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(kE2eDir / "common", copy.path(), options);
    fs::copy(kE2eDir / "games/stale_temporaries", copy.path(), options);
    const std::string dead = std::to_string(DeadPid());
    const std::string ofLiveWriter = ".slot.sav." + std::to_string(getpid()) + ".0.tmp";
    const std::string ofOtherFile = ".other.sav." + dead + ".0.tmp";
    for (const std::string& name : {".slot.sav." + dead + ".0.tmp", ".slot.sav." + dead + ".5.tmp", ofLiveWriter,
                                    ofOtherFile})
        copy.Write("user/saves/" + name, "partial");

    const GameExpectation expectation = ParseExpectation("log saved frame 30\nno-log ERROR");
    const GameResult result = RunGame(VELK_EXECUTABLE, copy.path(), expectation);
    ASSERT_EQ(result.exitStatus, 0) << DescribeGameResult(result);
    EXPECT_EQ(CheckLog(expectation, result.log), std::vector<std::string>{}) << DescribeGameResult(result);
    EXPECT_EQ(Entries(copy / "user/saves"), (std::vector<std::string>{ofOtherFile, ofLiveWriter, "slot.sav"}));
    EXPECT_EQ(ReadWholeFile(copy / "user/saves/slot.sav"), "frame 30");
}

}  // namespace
