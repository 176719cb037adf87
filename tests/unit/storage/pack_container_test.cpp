#include "storage/pack_container.h"

#include <gtest/gtest.h>

#include <string>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/pack_writer.h"
#include "fixtures/temp_dir.h"

namespace {

std::string Load(const PackContainer& pack, const std::string& name, int32_t* size = nullptr) {
    int32_t loaded = -1;
    const FileData data = pack.LoadFile(name, &loaded);
    if (size) *size = loaded;
    return data ? std::string(data.get(), static_cast<std::size_t>(loaded)) : "<null>";
}

class PackContainerTest : public testing::Test {
protected:
    bool Mount(const std::string& bytes) {
        const std::string path = dir.Write("test.pck", bytes).string();
        return pack.Init("", path);
    }

    TempDir dir;
    PackContainer pack;
};

TEST_F(PackContainerTest, AnEmptyPackMountsAndFindsNothing) {
    ASSERT_TRUE(Mount(BuildPack({})));
    EXPECT_EQ(pack.FindEntry("a.txt"), -1);
    EXPECT_EQ(pack.FindEntry(""), -1);
    EXPECT_EQ(Load(pack, "a.txt"), "<null>");
    FileInfoMap found;
    EXPECT_EQ(pack.List("*", found, true, true), 0);
}

TEST_F(PackContainerTest, NamesAreFoundByBinarySearch) {
    ASSERT_TRUE(Mount(BuildPack({{"a.txt", "A"}, {"b/c.txt", "CC"}, {"b/d.txt", "DDD"}})));
    EXPECT_EQ(pack.FindEntry("a.txt"), 0);
    EXPECT_EQ(pack.FindEntry("b/c.txt"), 1);
    EXPECT_EQ(pack.FindEntry("b/d.txt"), 2);
    EXPECT_EQ(pack.FindEntry("b/cc.txt"), ~2);  // between two records: the insertion point
    EXPECT_EQ(pack.FindEntry("A.txt"), ~0);
    EXPECT_EQ(Load(pack, "b/d.txt"), "DDD");
    EXPECT_EQ(Load(pack, "B/d.txt"), "<null>");
    FileInfo info;
    EXPECT_TRUE(pack.Stat("b/c.txt", info));
    EXPECT_EQ(info.size, 2);
    EXPECT_FALSE(pack.Stat("b", info));
}

TEST_F(PackContainerTest, ScrambledEntriesReportAndLoadTheirPlainSize) {
    ASSERT_TRUE(Mount(BuildPack({{"secret.lua", "0123456789", true}, {"raw.bin", std::string("\x00\x0Fxy", 4)}})));
    EXPECT_EQ(pack.QueryFileDescription("raw.bin", nullptr), true);
    FileInfo info;
    ASSERT_TRUE(pack.Stat("secret.lua", info));
    EXPECT_EQ(info.size, 10);
    int32_t size = 0;
    EXPECT_EQ(Load(pack, "secret.lua", &size), "0123456789");
    EXPECT_EQ(size, 10);
    EXPECT_EQ(Load(pack, "raw.bin"), std::string("\x00\x0Fxy", 4));  // not flagged: as stored
}

TEST_F(PackContainerTest, ListConsidersEachEntrysParentDirectory) {
    ASSERT_TRUE(Mount(BuildPack({{"b/c.txt", "C"}, {"b/d.txt", "DD"}})));
    FileInfoMap directories;
    EXPECT_EQ(pack.List("*", directories, false, true), 1);
    EXPECT_EQ(directories["b"].size, -1);
    FileInfoMap files;
    EXPECT_EQ(pack.List("*", files, true, false), 0);
    EXPECT_EQ(pack.List("b/*", files, true, false), 2);
    EXPECT_EQ(files["d.txt"].size, 2);
}

TEST_F(PackContainerTest, QueryFileDescriptionGivesTheAbsoluteOffset) {
    const std::string bytes = BuildPack({{"a.txt", "first"}, {"b.txt", "second"}});
    ASSERT_TRUE(Mount(bytes));
    FileDescription description;
    ASSERT_TRUE(pack.QueryFileDescription("b.txt", &description));
    EXPECT_EQ(description.path, (dir / "test.pck").string());
    EXPECT_EQ(bytes.substr(static_cast<std::size_t>(description.offset), static_cast<std::size_t>(description.size)),
              "second");
    EXPECT_FALSE(pack.QueryFileDescription("c.txt", &description));
}

TEST_F(PackContainerTest, QueryFileDescriptionOfAScrambledEntryIsFatal) {
    ASSERT_TRUE(Mount(BuildPack({{"secret.lua", "0123456789", true}})));
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            pack.QueryFileDescription("secret.lua", nullptr);
        },
        testing::ExitedWithCode(kExitFatal), "Cannot query file description \\(secret.lua\\), file is encrypted");
}

TEST_F(PackContainerTest, BadPacksFailTheirMount) {
    const std::string good = BuildPack({{"a.txt", "AAAA"}, {"b.txt", "BBBB"}});
    const auto patched = [&](std::size_t offset, uint32_t value) {
        std::string bytes = good;
        PatchWord(bytes, offset, value);
        return bytes;
    };
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"no header", "PACK"},
        {"count beyond the file", patched(4, 1000)},
        {"huge count", patched(4, 0xFFFFFFFF)},
        {"name length beyond the file", patched(8, 0x7FFFFFFF)},
        {"size beyond the file", patched(12, 0x10000)},
        {"offset beyond the file", patched(16, 0xFFFFFFF0)},
        {"cut inside the directory", good.substr(0, 30)},
        {"cut inside the data", good.substr(0, good.size() - 1)},
        {"names out of order", BuildPack({{"b.txt", "B"}, {"a.txt", "A"}}, true)},
    };
    testing::internal::CaptureStderr();
    g_config.create_log = true;
    for (const Case& c : cases) {
        PackContainer bad;
        EXPECT_FALSE(bad.Init("", dir.Write("bad.pck", c.bytes).string())) << c.what;
    }
    g_config.create_log = false;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("bad.pck not found, skipping pack container."), std::string::npos);
    EXPECT_EQ(log.find("Adding Pack container"), std::string::npos);
}

TEST_F(PackContainerTest, AMissingPackFailsItsMount) { EXPECT_FALSE(pack.Init("", (dir / "none.pck").string())); }

}  // namespace
