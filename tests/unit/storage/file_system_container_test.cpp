#include "storage/file_system_container.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <vector>

#include <filesystem>
#include <string>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/dead_pid.h"
#include "fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Text(const FileData& data, int32_t size) { return std::string(data.get(), static_cast<std::size_t>(size)); }

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The file-size limit makes writes fail as a full disk would (EFBIG instead of ENOSPC).
// It holds for every file, the death test's captured output included: keep it above that.
void LimitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
}

class FileSystemContainerTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(container.Init(dir.path().string(), false)); }

    std::string Load(const std::string& name) {
        int32_t size = -1;
        const FileData data = container.LoadFile(name, &size);
        return data ? Text(data, size) : "<null>";
    }

    TempDir dir;
    FileSystemContainer container;
};

TEST(FileSystemContainerInit, NeedsAnExistingDirectoryUnlessCreating) {
    const TempDir dir;
    dir.Write("file", "x");
    FileSystemContainer container;
    EXPECT_FALSE(container.Init((dir / "missing").string(), false));
    EXPECT_FALSE(container.Init((dir / "file").string(), false));
    ASSERT_TRUE(container.Init((dir / "made/deep").string() + "/", true));
    EXPECT_EQ(container.Root(), (dir / "made/deep").string() + "/");
    EXPECT_TRUE(fs::is_directory(dir / "made/deep"));
}

TEST(FileSystemContainerInit, TheRootTakesTheCaseOnDisk) {
    const TempDir dir;
    fs::create_directories(dir / "Data");
    FileSystemContainer container;
    ASSERT_TRUE(container.Init((dir / "DATA").string(), false));
    EXPECT_EQ(container.Root(), (dir / "Data").string() + "/");
}

TEST_F(FileSystemContainerTest, LoadFileUnscramblesOnlyDataWithTheHeader) {
    dir.Write("plain.txt", "plain");
    dir.Write("scrambled.bin", std::string("\x00\x0F\x03\x51\x1A\x54\x01", 7));
    dir.Write("one.bin", std::string("\x00", 1));
    dir.Write("header.bin", std::string("\x00\x0F", 2));
    dir.Write("almost.bin", std::string("\x00\x0E\x01", 3));
    fs::create_directories(dir / "folder");

    EXPECT_EQ(Load("plain.txt"), "plain");
    EXPECT_EQ(Load("scrambled.bin"), "hello");
    EXPECT_EQ(Load("one.bin"), std::string("\x00", 1));
    EXPECT_EQ(Load("header.bin"), "");
    EXPECT_EQ(Load("almost.bin"), std::string("\x00\x0E\x01", 3));
    EXPECT_EQ(Load("folder"), "<null>");
    EXPECT_EQ(Load("missing.txt"), "<null>");
    FileInfo info;
    EXPECT_TRUE(container.Stat("folder", info));
    EXPECT_EQ(info.size, -1);
    EXPECT_FALSE(container.Stat("folder/", info));  // as in archives: "dir/" names no file
    EXPECT_FALSE(container.Stat("", info));
}

TEST_F(FileSystemContainerTest, LoadedDataEndWithAZeroByte) {
    dir.Write("text.txt", "abc");
    int32_t size = 0;
    const FileData data = container.LoadFile("text.txt", &size);
    ASSERT_TRUE(data);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(data[3], '\0');
}

TEST_F(FileSystemContainerTest, NamesInAnotherCaseAreFoundComponentByComponent) {
    dir.Write("Data/Sounds/Init.LUA", "boot");
    FileInfo info;
    EXPECT_TRUE(container.Stat("data/sounds/init.lua", info));
    EXPECT_EQ(info.size, 4);
    EXPECT_EQ(Load("DATA/sounds/INIT.lua"), "boot");
    EXPECT_EQ(Load("data\\Sounds\\init.lua"), "boot");
    EXPECT_EQ(Load("data/sound/init.lua"), "<null>");
    EXPECT_TRUE(container.OpenFile("data/SOUNDS/init.lua", false));
}

TEST_F(FileSystemContainerTest, AnExactNameWinsOverOtherCases) {
    dir.Write("a.txt", "lower");
    dir.Write("A.TXT", "upper");
    EXPECT_EQ(Load("a.txt"), "lower");
    EXPECT_EQ(Load("A.TXT"), "upper");
    EXPECT_EQ(Load("a.TXT"), "upper");  // no exact match: the smallest name of the same letters
}

TEST_F(FileSystemContainerTest, FilesAddedAfterALookupAreFound) {
    dir.Write("Levels/One.txt", "1");
    EXPECT_EQ(Load("levels/one.txt"), "1");
    EXPECT_EQ(Load("levels/two.txt"), "<null>");
    dir.Write("Levels/Two.txt", "2");
    EXPECT_EQ(Load("levels/two.txt"), "2");
}

TEST_F(FileSystemContainerTest, ListFollowsTheDirectorySearchRules) {
    dir.Write("Sub/readme", "12");
    dir.Write("Sub/a.ogg", "123");
    fs::create_directories(dir / "Sub/inner");
    FileInfoMap all;
    EXPECT_EQ(container.List("sub/*.*", all, true, true), 3);
    EXPECT_EQ(all["readme"].size, 2);
    EXPECT_EQ(all["a.ogg"].size, 3);
    EXPECT_EQ(all["inner"].size, -1);

    FileInfoMap filesOnly;
    EXPECT_EQ(container.List("Sub/*", filesOnly, true, false), 2);
    FileInfo first;
    EXPECT_TRUE(container.Stat("sub/*.OGG", first));  // a wildcard finds the first match
    EXPECT_EQ(first.size, 3);
    EXPECT_FALSE(container.Stat("sub/*.wav", first));

    FileInfoMap known{{"a.ogg", FileInfo{99}}};
    EXPECT_EQ(container.List("Sub/*.OGG", known, true, false), 0);
    EXPECT_EQ(known["a.ogg"].size, 99);
}

TEST_F(FileSystemContainerTest, SaveCreatesFoldersAndScramblesOnRequest) {
    ASSERT_TRUE(container.Save("a/b/c.txt", "hello", 5, true, true, true));
    EXPECT_EQ(dir.Read("a/b/c.txt"), std::string("\x00\x0F\x03\x51\x1A\x54\x01", 7));
    EXPECT_EQ(Load("a/b/c.txt"), "hello");

    ASSERT_TRUE(container.Save("a/b/c.txt", "new", 3, true, true, false));
    EXPECT_EQ(dir.Read("a/b/c.txt"), "new");
}

TEST_F(FileSystemContainerTest, TextAppendsKeepEarlierLinesAndEndThemWithCarriageReturns) {
    ASSERT_TRUE(container.Save("log.txt", "one\n", 4, false, false, false));
    ASSERT_TRUE(container.Save("log.txt", "two\n", 4, false, false, false));
    EXPECT_EQ(dir.Read("log.txt"), "one\r\ntwo\r\n");
    ASSERT_TRUE(container.Save("log.txt", "\n", 1, false, true, false));
    EXPECT_EQ(dir.Read("log.txt"), "one\r\ntwo\r\n\n");
}

TEST_F(FileSystemContainerTest, SaveToANameThatCanNotBeOpenedIsFatal) {
    fs::create_directories(dir / "taken");
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            container.Save("taken", "x", 1, true, true, false);
        },
        testing::ExitedWithCode(kExitFatal),
                "Storage:File: Save - can't open .*taken");
    EXPECT_TRUE(fs::is_directory(dir / "taken"));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"taken"}) << "no temporary file is left";
}

TEST_F(FileSystemContainerTest, SaveThatFailsHalfWayKeepsThePreviousContent) {
    const struct {
        const char* failure;
        std::size_t size;
        rlim_t limit;
        const char* message;
    } cases[] = {
        {"a write cut short", 1 << 16, 1000, "Storage:File: Saving .*save.dat - [0-9]+ bytes written, expected 65536"},
        {"a flush that fails", 3000, 1000, "Storage:File: Saving .*save.dat - can't flush to disk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        dir.Write("saves/save.dat", "previous content");
        const std::string data(c.size, 'n');
        EXPECT_EXIT(
            {
                g_config.create_log = true;
                LimitFileSize(c.limit);
                container.Save("saves/save.dat", data.data(), data.size(), true, true, false);
            },
            testing::ExitedWithCode(kExitFatal), c.message);
        EXPECT_EQ(dir.Read("saves/save.dat"), "previous content");
        EXPECT_EQ(Entries(dir / "saves"), std::vector<std::string>{"save.dat"}) << "no temporary file is left";
    }
}

TEST_F(FileSystemContainerTest, TheFirstSaveRemovesTheTemporaryFilesOfItsKilledWriters) {
    const std::string dead = std::to_string(DeadPid());
    const std::string live = std::to_string(getppid());
    const std::vector<std::string> stale = {".save.dat." + dead + ".0.tmp", ".save.dat." + dead + ".17.tmp"};
    const std::vector<std::string> kept = {
        ".save.dat." + live + ".0.tmp",                    // its writer still runs
        ".save.dat." + std::to_string(getpid()) + ".3.tmp",  // this process's own
        ".other.dat." + dead + ".0.tmp",                   // another file's
        ".save.dat.old." + dead + ".0.tmp",                // the file "save.dat.old"'s
        ".save.dat." + dead + ".0.tmp.bak",
        ".save.dat." + dead + ".x.tmp",
        ".save.dat." + dead + ".tmp",
        ".save.dat.0" + dead + ".0.tmp",
        ".save.dat.-" + dead + ".0.tmp",
        "save.dat." + dead + ".0.tmp",
        "save.dat",
    };
    for (const std::string& name : stale) dir.Write("saves/" + name, "partial");
    for (const std::string& name : kept) dir.Write("saves/" + name, "other");
    fs::create_directories(dir / "saves" / (".save.dat." + dead + ".1.tmp" + "/inside"));

    ASSERT_TRUE(container.Save("saves/save.dat", "whole", 5, true, true, false));
    std::vector<std::string> expected = kept;
    expected.push_back(".save.dat." + dead + ".1.tmp");  // a folder is never a temporary file
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(dir / "saves"), expected);
    EXPECT_EQ(dir.Read("saves/save.dat"), "whole");
    EXPECT_EQ(dir.Read("saves/" + kept[0]), "other");

    // Later saves in the same run leave the folder alone: per-frame saves search it once.
    dir.Write("saves/" + stale[0], "partial");
    ASSERT_TRUE(container.Save("saves/save.dat", "again", 5, true, true, false));
    EXPECT_TRUE(fs::exists(dir / "saves" / stale[0]));
}

TEST_F(FileSystemContainerTest, TheLongestNameASystemAllowsCanBeSavedAgain) {
    const std::string name(255, 'n');
    for (const char* content : {"first", "second"}) {
        ASSERT_TRUE(container.Save(name, content, std::strlen(content), true, true, false));
        EXPECT_EQ(dir.Read(name), content);
    }
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{name});
}

TEST_F(FileSystemContainerTest, AReadOnlyFileIsNotReplaced) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    dir.Write("locked.sav", "kept");
    fs::permissions(dir / "locked.sav", fs::perms::owner_read);
    const FileSystemContainer::SaveOutcome outcome = container.TrySave("locked.sav", "new", 3, true, true, false);
    EXPECT_EQ(outcome.status, FileSystemContainer::SaveStatus::OpenFailed);
    EXPECT_EQ(dir.Read("locked.sav"), "kept");
}

TEST_F(FileSystemContainerTest, OverwriteReplacesTheFileAsItIsOnDisk) {
    dir.Write("Slot.SAV", "old");
    fs::permissions(dir / "Slot.SAV", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(container.Save("slot.sav", "one\ntwo\n", 8, true, false, false));
    EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"Slot.SAV"}) << "the same file to a case-blind game";
    EXPECT_EQ(dir.Read("Slot.SAV"), "one\r\ntwo\r\n") << "text mode ends lines with carriage returns";
    EXPECT_EQ(fs::status(dir / "Slot.SAV").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileSystemContainerTest, DirectoriesAreCreatedOnceAndRemovedWithTheirContents) {
    EXPECT_TRUE(container.CreateDirectory("saves/slot1"));
    EXPECT_FALSE(container.CreateDirectory("saves/slot1"));
    EXPECT_FALSE(container.CreateDirectory(""));

    dir.Write("saves/slot1/deep/er/file.dat", "x");
    dir.Write("saves/locked.dat", "x");
    fs::permissions(dir / "saves/locked.dat", fs::perms::owner_read);
    EXPECT_FALSE(container.RemoveDirectory("saves", false));
    EXPECT_TRUE(fs::exists(dir / "saves/locked.dat"));
    EXPECT_TRUE(container.RemoveDirectory("saves", true));
    EXPECT_FALSE(fs::exists(dir / "saves"));
    EXPECT_FALSE(container.RemoveDirectory("saves", true));
}

TEST_F(FileSystemContainerTest, RemovingATreeNeverFollowsSymbolicLinks) {
    const TempDir outside;
    outside.Write("keep/precious.txt", "mine");
    dir.Write("tree/file.txt", "x");
    fs::create_directory_symlink(outside / "keep", dir / "tree/link");
    fs::create_directory_symlink(outside / "keep", dir / "toplink");

    EXPECT_FALSE(container.RemoveDirectory("toplink", true));
    EXPECT_TRUE(container.RemoveDirectory("tree", true));
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_EQ(outside.Read("keep/precious.txt"), "mine");
}

TEST_F(FileSystemContainerTest, DeleteFilesRemovesTheMatchesOfAPattern) {
    dir.Write("a.tmp", "");
    dir.Write("B.TMP", "");
    dir.Write("keep.txt", "");
    dir.Write("sub/c.tmp", "");
    fs::create_directories(dir / "dir.tmp");
    EXPECT_EQ(container.DeleteFiles("*.tmp"), 2);
    EXPECT_TRUE(fs::exists(dir / "keep.txt"));
    EXPECT_TRUE(fs::exists(dir / "dir.tmp"));
    EXPECT_TRUE(fs::exists(dir / "sub/c.tmp"));
    EXPECT_EQ(container.DeleteFiles("sub/*.tmp"), 1);
    EXPECT_FALSE(fs::exists(dir / "sub/c.tmp"));
}

TEST_F(FileSystemContainerTest, RenameNeverReplacesAnExistingFile) {
    dir.Write("old.sav", "old");
    dir.Write("new.sav", "new");
    dir.Write("Other.sav", "other");
    EXPECT_FALSE(container.Rename("old.sav", "new.sav"));
    EXPECT_FALSE(container.Rename("old.sav", "other.sav"));  // the same file to a case-blind game
    EXPECT_EQ(dir.Read("new.sav"), "new");
    EXPECT_TRUE(container.Rename("old.sav", "moved.sav"));
    EXPECT_EQ(dir.Read("moved.sav"), "old");
    EXPECT_FALSE(fs::exists(dir / "old.sav"));
    EXPECT_FALSE(container.Rename("missing.sav", "x.sav"));
}

TEST_F(FileSystemContainerTest, WritableOperationsStayInsideTheRoot) {
    const fs::path root = dir / "root";
    FileSystemContainer inner;
    ASSERT_TRUE(inner.Init(root.string(), true));
    dir.Write("victim.txt", "safe");
    dir.Write("root/inside.txt", "in");
    for (const std::string name : {"../victim.txt", "a/../../victim.txt", "..\\victim.txt", "/tmp/x", "\\x", "C:x",
                                   "", ".", "./"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(inner.Save(name, "bad", 3, true, true, false));
        EXPECT_FALSE(inner.OpenFile(name, true));
        EXPECT_FALSE(inner.DeleteFile(name));
        EXPECT_FALSE(inner.RemoveDirectory(name, true));
        EXPECT_FALSE(inner.Rename("inside.txt", name));
        EXPECT_FALSE(inner.Rename(name, "stolen.txt"));
        EXPECT_EQ(inner.DeleteFiles(name), 0);
    }
    EXPECT_EQ(dir.Read("victim.txt"), "safe");
    EXPECT_EQ(dir.Read("root/inside.txt"), "in");
    EXPECT_TRUE(inner.Save("fine/./name.txt", "ok", 2, true, true, false));
}

TEST_F(FileSystemContainerTest, OpenFileReadsFilesOnlyAndWritesIntoNewFolders) {
    fs::create_directories(dir / "folder");
    EXPECT_FALSE(container.OpenFile("folder", false));
    EXPECT_FALSE(container.OpenFile("missing", false));
    {
        const FileStream out = container.OpenFile("shots/one.bmp", true);
        ASSERT_TRUE(out);
        std::fputs("BM", out.get());
    }
    EXPECT_EQ(dir.Read("shots/one.bmp"), "BM");
}

TEST_F(FileSystemContainerTest, QueryFileDescriptionGivesThePathOnDisk) {
    dir.Write("Video/Intro.ogv", "12345");
    FileDescription description;
    ASSERT_TRUE(container.QueryFileDescription("video/intro.ogv", &description));
    EXPECT_EQ(description.name, "video/intro.ogv");
    EXPECT_EQ(description.path, (dir / "Video/Intro.ogv").string());
    EXPECT_EQ(description.offset, 0);
    EXPECT_EQ(description.size, 5);
    EXPECT_FALSE(container.QueryFileDescription("video/missing.ogv", &description));
}

}  // namespace
