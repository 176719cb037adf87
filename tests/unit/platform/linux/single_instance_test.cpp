#include "platform/linux/single_instance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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
    EXPECT_EQ(path.filename(), "Velk_Engine-a_b_c.lock");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(std::filesystem::path(SingleInstanceLock::LockFilePath("x", "y")).parent_path(), "/tmp");
}

TEST_F(SingleInstanceTest, NoRuntimeFolderDoesNotStopTheGame) {
    setenv("XDG_RUNTIME_DIR", (dir.path() / "missing").c_str(), 1);
    SingleInstanceLock lock;
    EXPECT_TRUE(lock.Acquire("Velk Engine", "My Game"));
}

}  // namespace
