#include "storage/storage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "core/config.h"
#include "core/crash.h"
#include "core/log.h"
#include "fixtures/pack_writer.h"
#include "fixtures/temp_dir.h"
#include "fixtures/zip_writer.h"
#include "platform/linux/storage_linux.h"
#include "storage/storage_mounts.h"

namespace {

namespace fs = std::filesystem;

// A game folder as the current directory and a private user data folder.
class StorageTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigDefaults();
        previous = fs::current_path();
        fs::create_directories(game());
        fs::current_path(game());
        setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1);
        InitStorage();
    }

    void TearDown() override {
        ShutdownStorage();
        fs::current_path(previous);
        InitConfigDefaults();
    }

    fs::path game() const { return dir / "game"; }
    void WriteGameFile(const std::string& name, const std::string& bytes) const { dir.Write("game/" + name, bytes); }

    static std::string Load(const std::string& name) {
        int32_t size = -1;
        const FileData data = LoadFile(name, &size, false);
        return data ? std::string(data.get(), static_cast<std::size_t>(size)) : "<null>";
    }

    TempDir dir;
    fs::path previous;
};

TEST_F(StorageTest, TheStartDirectoryServesOnlyTheStartFiles) {
    WriteGameFile("config.cfg", "[width] 800");
    EXPECT_EQ(GetStartDirectory(), game().string());
    const FileSystemContainer* start = GetStartDirectoryContainer();
    ASSERT_TRUE(start);
    EXPECT_TRUE(start->Exists("config.cfg"));
    EXPECT_FALSE(FileExists("config.cfg"));
    EXPECT_EQ(Load("config.cfg"), "<null>");
}

TEST_F(StorageTest, TheUserDataFolderComesFromXdgDataHomeOrHome) {
    EXPECT_EQ(GetUserDataFolder(), (dir / "xdg").string());
    EXPECT_TRUE(fs::is_directory(dir / "xdg"));
    ASSERT_TRUE(AddWritableStorage("Vaspen Games/Game"));
    EXPECT_EQ(GetWritablePath("save.dat"), (dir / "xdg/Vaspen Games/Game/save.dat").string());

    const char* home = std::getenv("HOME");
    const std::string savedHome = home ? home : "";
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", (dir / "home").c_str(), 1);
    EXPECT_EQ(GetDefaultWriteFolder(), (dir / "home/.local/share").string());
    EXPECT_TRUE(fs::is_directory(dir / "home/.local/share"));
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(StorageTest, ScriptMountsComeFirstAndStartUpMountsKeepTheirOrder) {
    for (const char* folder : {"data", "more", "mod", "mod2"}) WriteGameFile(std::string(folder) + "/x.txt", folder);
    WriteGameFile("more/only_more.txt", "more");
    ASSERT_TRUE(AddWritableStorage("w"));
    dir.Write("xdg/w/x.txt", "writable");
    ASSERT_TRUE(AddDirectoryStorage("data", false, false));
    ASSERT_TRUE(AddDirectoryStorage(game() / "more", false, false));
    EXPECT_EQ(Load("x.txt"), "writable");
    EXPECT_EQ(Load("only_more.txt"), "more");

    ASSERT_TRUE(AddDirectoryStorage("mod", false, true));
    EXPECT_EQ(Load("x.txt"), "mod");
    ASSERT_TRUE(AddDirectoryStorage("mod2", false, true));
    EXPECT_EQ(Load("x.txt"), "mod2");

    EXPECT_FALSE(AddDirectoryStorage("missing", false, true));
    EXPECT_FALSE(AddZipStorage("missing.pak", ""));
    EXPECT_FALSE(AddPackStorage("missing.pck", "", true));
    EXPECT_EQ(Load("x.txt"), "mod2");
}

TEST_F(StorageTest, SearchFilesReportsANameHeldTwiceOnceWithTheFirstSize) {
    WriteGameFile("data/sounds/a.ogg", "1");
    WriteGameFile("data/sounds/b.ogg", "22");
    dir.Write("game/data.pck", BuildPack({{"sounds/a.ogg", "333"}, {"sounds/c.ogg", "4444"}}));
    ASSERT_TRUE(AddDirectoryStorage("data", false, false));
    ASSERT_TRUE(AddPackStorage("data.pck", "", false));
    FileInfoMap found;
    EXPECT_EQ(SearchFiles("sounds/*", found, true, false), 3);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found["a.ogg"].size, 1);
    EXPECT_EQ(found["c.ogg"].size, 4);
    FileInfo info;
    EXPECT_TRUE(FileExists("sounds/c.ogg", &info));
    EXPECT_EQ(info.size, 4);
    EXPECT_FALSE(FileExists("sounds/d.ogg", &info));
}

TEST_F(StorageTest, RequiredFilesAndDirectOpensAreFatalWhenMissing) {
    dir.Write("game/data.pck", BuildPack({{"music/theme.ogg", "ogg"}}));
    WriteGameFile("data/voice.ogg", "v");
    ASSERT_TRUE(AddDirectoryStorage("data", false, false));
    ASSERT_TRUE(AddPackStorage("data.pck", "", false));
    EXPECT_TRUE(OpenFileDirectly("voice.ogg"));
    EXPECT_EQ(Load("music/theme.ogg"), "ogg");
    const auto fatal = [](auto call) {
        g_config.create_log = true;
        call();
    };
    EXPECT_EXIT(fatal([] { OpenFileDirectly("music/theme.ogg"); }), testing::ExitedWithCode(kExitFatal),
                "Storage: OpenFileDirectly - file not found: music/theme.ogg");
    EXPECT_EXIT(fatal([] { LoadFile("nope.txt", nullptr, true); }), testing::ExitedWithCode(kExitFatal),
                "Storage: LoadFile - file not found: nope.txt");
}

TEST_F(StorageTest, TheLogGoesToTheWritableContainerAndItsFailuresAreIgnored) {
    EXPECT_EQ(GetWritablePath("crash.dmp"), "crash.dmp");
    EXPECT_FALSE(AppendToLogFile("early\n", 6));
    g_config.create_log = true;
    ASSERT_TRUE(AddWritableStorage("w"));
    testing::internal::CaptureStderr();
    LogPrintf("first %d", 1);
    LogPrintf("second");
    testing::internal::GetCapturedStderr();
    const std::string log = dir.Read("xdg/w/log.txt");
    EXPECT_NE(log.find("first 1\r\nsecond\r\n"), std::string::npos);

    ResetLogFile();
    EXPECT_FALSE(fs::exists(dir / "xdg/w/log.txt"));
    fs::create_directories(dir / "xdg/w/log.txt");  // a log that can not be written
    EXPECT_FALSE(AppendToLogFile("lost\n", 5));
    testing::internal::CaptureStderr();
    LogPrintf("still running");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("still running"), std::string::npos);
}

TEST_F(StorageTest, LookupsFromAnotherThreadSurviveMounts) {
    WriteGameFile("data/base.txt", "base");
    for (int i = 0; i < 40; ++i) WriteGameFile("mods/" + std::to_string(i) + "/m.txt", std::to_string(i));
    ASSERT_TRUE(AddDirectoryStorage("data", false, false));
    std::atomic<bool> done{false};
    std::atomic<int> misses{0};
    std::thread reader([&] {
        while (!done) {
            FileInfoMap found;
            SearchFiles("*.txt", found, true, false);
            if (!FileExists("base.txt") || Load("base.txt") != "base") ++misses;
        }
    });
    for (int i = 0; i < 40; ++i) AddDirectoryStorage("mods/" + std::to_string(i), false, true);
    done = true;
    reader.join();
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(Load("m.txt"), "39");
}

class StartUpMountTest : public StorageTest {
protected:
    void MountAll() {
        ASSERT_TRUE(MountWritableStorage());
        MountLanguageStorage();
        MountDataStorage();
    }
};

TEST_F(StartUpMountTest, DataSourcesAreSearchedInTheirOrder) {
    g_config.language = "de";
    WriteGameFile("lang/en/strings.txt", "english");
    WriteGameFile("data/which.txt", "data");
    dir.Write("game/lang_en.pck", BuildPack({{"which.txt", "lang_en"}, {"lang.txt", "lang_en"}}));
    dir.Write("game/data.pck", BuildPack({{"which.txt", "data.pck"}, {"pck.txt", "data.pck"}}));
    WriteZip((game() / "data_3.pak").string(), {{"patch.txt", "data_3"}, {"pck.txt", "data_3"}});
    WriteZip((game() / "data_1.pak").string(), {{"patch.txt", "data_1"}, {"one.txt", "data_1"}});
    WriteEncryptedZip((game() / "data.pak").string(), {{"init.lua", "print('boot')"}, {"one.txt", "data"}},
                      kArchivePassword, false);
    MountAll();

    EXPECT_EQ(Load("strings.txt"), "english");  // "de" is missing: the English directory instead
    EXPECT_EQ(Load("which.txt"), "data");
    EXPECT_EQ(Load("lang.txt"), "lang_en");
    EXPECT_EQ(Load("pck.txt"), "data.pck");
    EXPECT_EQ(Load("patch.txt"), "data_3");
    EXPECT_EQ(Load("one.txt"), "data_1");
    int32_t size = 0;
    const FileData boot = LoadFile("init.lua", &size, true);
    EXPECT_EQ(std::string(boot.get(), static_cast<std::size_t>(size)), "print('boot')");
    EXPECT_EQ(GetWritablePath("x"), (dir / "xdg/Vaspen Games/Velk Engine/x").string());
}

TEST_F(StartUpMountTest, CustomSourcesReplaceEveryOtherSource) {
    g_config.portable = true;
    g_config.custom_data_sources = {"mine"};
    WriteGameFile("mine/a.txt", "mine");
    WriteGameFile("data/b.txt", "data");
    dir.Write("game/data.pck", BuildPack({{"c.txt", "pack"}}));
    MountAll();
    EXPECT_EQ(Load("a.txt"), "mine");
    EXPECT_EQ(Load("b.txt"), "<null>");
    EXPECT_EQ(Load("c.txt"), "<null>");
    EXPECT_EQ(GetWritablePath("x"), (game() / "user/x").string());
    EXPECT_TRUE(fs::is_directory(game() / "user"));
}

TEST_F(StartUpMountTest, GameDataInAnyCaseIsFound) {
    WriteGameFile("Data/Init.LUA", "print('mixed')");
    WriteGameFile("Data/Sounds/Click.OGG", "ogg");
    MountAll();
    EXPECT_EQ(Load("init.lua"), "print('mixed')");
    EXPECT_TRUE(OpenFileDirectly("sounds/click.ogg"));
    FileInfoMap found;
    EXPECT_EQ(SearchFiles("sounds/*.ogg", found, true, false), 1);
    EXPECT_EQ(found.count("Click.OGG"), 1u);
}

}  // namespace
