#include "platform/linux/single_instance.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fixtures/temp_dir.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1); }
    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }
    TempDir dir;
};

TEST_F(SingleInstanceTest, SecondHolderOfTheSameNameIsRefusedUntilTheFirstLetsGo) {
    SingleInstanceLock first, second, other;
    ASSERT_TRUE(first.Acquire("Velk Engine", "My Game"));
    EXPECT_FALSE(second.Acquire("Velk Engine", "My Game"));
    EXPECT_TRUE(other.Acquire("Velk Engine", "Another Game"));
    first.Release();
    EXPECT_TRUE(second.Acquire("Velk Engine", "My Game"));
}

TEST_F(SingleInstanceTest, LockFileLivesInTheRuntimeFolderWithASafeName) {
    const std::filesystem::path path = SingleInstanceLock::LockFilePath("Velk Engine", "a/b c");
    EXPECT_EQ(path.parent_path(), dir.path());
    EXPECT_EQ(path.filename(), "Velk%20Engine-a%2Fb%20c-" + std::to_string(getuid()) + ".lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(std::filesystem::path(SingleInstanceLock::LockFilePath("x", "y")).parent_path(), "/tmp");
}

// Titles that an earlier naming folded together: each pair must lock side by side.
TEST_F(SingleInstanceTest, DifferentTitlesNeverShareALock) {
    const std::string longTitle(300, 'x');
    const struct {
        std::string a, b;
    } pairs[] = {
        {"Game A", "Game_A"},
        {"Jeu \xC3\xA9t\xC3\xA9", "Jeu \xC3\xB4t\xC3\xA9"},  // "Jeu été", "Jeu ôté"
        {"a-b", "a%2Db"},
        {longTitle, longTitle + "y"},
        {longTitle + "\xC3\xA9", longTitle + "\xC3\xB4"},
        {std::string(300, '%'), std::string(299, '%') + "~"},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.a + " / " + p.b);
        for (const std::string* title : {&p.a, &p.b})
            EXPECT_LE(std::filesystem::path(SingleInstanceLock::LockFilePath("Velk Engine", *title)).filename().string().size(),
                      255u);
        SingleInstanceLock first, second;
        ASSERT_TRUE(first.Acquire("Velk Engine", p.a));
        EXPECT_TRUE(first.Failure().empty()) << first.Failure();
        EXPECT_TRUE(second.Acquire("Velk Engine", p.b));
        EXPECT_TRUE(second.Failure().empty()) << second.Failure();
    }
}

TEST_F(SingleInstanceTest, ALongTitleStillLocksAndKeepsTheUsersId) {
    const std::string title(300, 'x');
    EXPECT_TRUE(SingleInstanceLock::LockFilePath("Velk Engine", title).ends_with("-" + std::to_string(getuid()) + ".lock"));
    SingleInstanceLock first, second;
    ASSERT_TRUE(first.Acquire("Velk Engine", title));
    EXPECT_TRUE(first.Failure().empty()) << first.Failure();
    EXPECT_FALSE(second.Acquire("Velk Engine", title));
}

TEST_F(SingleInstanceTest, NoRuntimeFolderDoesNotStopTheGameAndSaysWhy) {
    setenv("XDG_RUNTIME_DIR", (dir.path() / "missing").c_str(), 1);
    SingleInstanceLock lock;
    EXPECT_TRUE(lock.Acquire("Velk Engine", "My Game"));
    EXPECT_NE(lock.Failure().find("missing/Velk%20Engine-My%20Game-" + std::to_string(getuid()) + ".lock cannot be made"),
              std::string::npos)
        << lock.Failure();
}

}  // namespace
