// Files as the scripts reach them: a data folder and the writable folder mounted, the
// script functions called from Lua, the results checked on disk.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "api_fixture.h"
#include "core/config.h"
#include "fixtures/failing_allocator.h"
#include "fixtures/pack_writer.h"
#include "fixtures/temp_dir.h"
#include "storage/storage.h"

namespace {

namespace fs = std::filesystem;

class FileApi : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        ASSERT_TRUE(AddDirectoryStorage((outside / "user").string(), true, false));
        ASSERT_TRUE(AddDirectoryStorage(data.path().string(), false, false));
    }
    void TearDown() override {
        ShutdownStorage();
        ApiTest::TearDown();
    }
    std::string Written(const std::string& name) const { return outside.Read("user/" + name); }
    std::vector<std::string> WritableEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(outside / "user"))
            names.push_back(fs::relative(entry.path(), outside / "user").string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir outside;  // the writable folder is its "user"; the rest must never be touched
    TempDir data;
};

TEST_F(FileApi, SaveCreatesFoldersAndLoadReturnsEveryByte) {
    ASSERT_EQ(Run("file_save('a/b/c.txt', 'x\\0y')"), "");
    EXPECT_EQ(Written("a/b/c.txt"), std::string("x\0y", 3));
    EXPECT_EQ(Eval("#file_load('a/b/c.txt')"), "3");
    EXPECT_EQ(Eval("file_load('a/b/c.txt') == 'x\\0y'"), "true");

    ASSERT_EQ(Run("file_save('a/b/c.txt', 'line\\n')"), "");
    EXPECT_EQ(Written("a/b/c.txt"), "line\n") << "script saves are binary and replace the old content";
    ASSERT_EQ(Run("file_save('n.txt', 12) file_save('empty.txt')"), "");
    EXPECT_EQ(Written("n.txt"), "12");
    EXPECT_EQ(Written("empty.txt"), "");
    EXPECT_EQ(WritableEntries(), (std::vector<std::string>{"a", "a/b", "a/b/c.txt", "empty.txt", "n.txt"}))
        << "no temporary file is left behind";
}

TEST_F(FileApi, ScrambledSaveOnlyWithABooleanTrue) {
    ASSERT_EQ(Run("file_save('s.dat', '0123456789', true) file_save('p.dat', 'plain', 1)"), "");
    const std::string scrambled = Written("s.dat");
    ASSERT_EQ(scrambled.size(), 12u);
    EXPECT_EQ(scrambled.substr(0, 2), std::string("\x00\x0F", 2));
    EXPECT_NE(scrambled.substr(2), "0123456789");
    EXPECT_EQ(Eval("file_load('s.dat')"), "0123456789");
    EXPECT_EQ(Written("p.dat"), "plain");
}

TEST_F(FileApi, LoadFindsTheFirstContainerAndScriptMountsComeFirst) {
    data.Write("level.txt", "from data");
    const TempDir mod;
    mod.Write("level.txt", "from mod");
    EXPECT_EQ(Eval("file_load('level.txt')"), "from data");
    ASSERT_EQ(Run("file_add_directory_storage('" + mod.path().string() + "')"), "");
    EXPECT_EQ(Eval("file_load('level.txt')"), "from mod");

    const TempDir packs;
    packs.Write("extra.pck", BuildPack({{"level.txt", "from pack"}}));
    ASSERT_EQ(Run("file_add_pack_storage('" + (packs / "extra.pck").string() + "')"), "");
    EXPECT_EQ(Eval("file_load('level.txt')"), "from pack");
}

TEST_F(FileApi, ScriptErrorsNameTheProblem) {
    const struct {
        const char* code;
        const char* message;
    } cases[] = {
        {"file_load()", "Can't open - file name is empty!"},
        {"file_load('')", "Can't open - file name is empty!"},
        {"file_load({})", "Can't open - file name is empty!"},
        {"file_load('missing.txt')", "Can't find file missing.txt!"},
        {"file_save()", "Can't save - file name is empty!"},
        {"file_save(nil, 'data')", "Can't save - file name is empty!"},
        {"file_add_directory_storage()", "Missing storage name"},
        {"file_add_pack_storage({})", "Missing storage name"},
        {"file_save('../escape.txt', 'x')", "Can't save ../escape.txt - not a file name inside the writable folder!"},
        {"file_save('/tmp/escape.txt', 'x')", "Can't save /tmp/escape.txt - not a file name inside the writable folder!"},
        {"file_save('./', 'x')", "Can't save ./ - not a file name inside the writable folder!"},
        {"file_load_strings('t')", "Can't load strings - file name is empty!"},
        {"file_load_strings('not_there', 'en.txt')", "Can't load strings from en.txt - not_there is not a table!"},
        {"file_load_strings(nil, 'en.txt')", "Can't load strings from en.txt - (none) is not a table!"},
    };
    for (const auto& c : cases) EXPECT_EQ(Run(c.code), c.message) << c.code;
    EXPECT_EQ(WritableEntries(), std::vector<std::string>{});
}

TEST_F(FileApi, NamesThatLeaveTheWritableFolderAreRefused) {
    outside.Write("victim.txt", "safe");
    outside.Write("user/inside.txt", "in");
    fs::create_directories(outside / "victim_dir");
    for (const std::string name : {"../victim.txt", "a/../../victim.txt", "..\\\\victim.txt", "/tmp", ""}) {
        SCOPED_TRACE(name);
        const std::string arg = "'" + name + "'";
        EXPECT_EQ(Eval("file_remove(" + arg + ")"), "0");
        EXPECT_EQ(Eval("file_rename('inside.txt', " + arg + ")"), "false");
        EXPECT_EQ(Eval("file_rename(" + arg + ", 'stolen.txt')"), "false");
        EXPECT_EQ(Eval("file_create_directory(" + arg + ")"), "false");
        EXPECT_EQ(Eval("file_remove_directory(" + arg + ", true)"), "false");
    }
    EXPECT_EQ(Eval("file_remove_directory('../victim_dir')"), "false");
    EXPECT_EQ(outside.Read("victim.txt"), "safe");
    EXPECT_TRUE(fs::is_directory(outside / "victim_dir"));
    EXPECT_EQ(WritableEntries(), std::vector<std::string>{"inside.txt"});
}

TEST_F(FileApi, RenameNeverReplacesAnExistingFile) {
    outside.Write("user/old.sav", "old");
    outside.Write("user/taken.sav", "taken");
    EXPECT_EQ(Eval("file_rename('old.sav', 'taken.sav')"), "false");
    EXPECT_EQ(Written("taken.sav"), "taken");
    EXPECT_EQ(Written("old.sav"), "old");
    EXPECT_EQ(Eval("file_rename('old.sav', 'new.sav')"), "true");
    EXPECT_EQ(Written("new.sav"), "old");
    EXPECT_EQ(Eval("file_rename('new.sav')"), "false");
    EXPECT_EQ(Eval("file_rename('missing.sav', 'x.sav')"), "false");
}

TEST_F(FileApi, SearchKeysWithAndWithoutFullNames) {
    outside.Write("user/saves/one.sav", "1");
    outside.Write("user/saves/two.sav", "22");
    fs::create_directories(outside / "user/saves/backup");
    data.Write("saves/three.sav", "333");
    data.Write("top.sav", "4444");

    ASSERT_EQ(Run("function listing(t) local keys = {} for k, v in pairs(t) do keys[#keys + 1] = k .. '=' .. v end "
                  "table.sort(keys) return table.concat(keys, ' ') end"),
              "");
    const struct {
        const char* call;
        const char* keys;
    } cases[] = {
        {"file_search('saves/*')", "backup=-1 one.sav=1 three.sav=3 two.sav=2"},
        {"file_search('saves/*', true, false, true)", "saves/one.sav=1 saves/three.sav=3 saves/two.sav=2"},
        {"file_search('saves\\\\*.sav', false, true)", ""},
        {"file_search('saves/*', false, true, true)", "saves/backup=-1"},
        {"file_search('*.sav', true, true, true)", "/top.sav=4"},
        {"file_search()", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Eval(std::string("listing(") + c.call + ")"), c.keys) << c.call;
}

TEST_F(FileApi, ExistsTellsFilesFromDirectories) {
    outside.Write("user/saves/one.sav", "");
    const struct {
        const char* call;
        const char* result;
    } cases[] = {
        {"file_exists('saves/one.sav')", "true"},       {"file_exists('saves/one.sav', false)", "false"},
        {"file_exists('saves')", "true"},               {"file_exists('saves', true, false)", "false"},
        {"file_exists('saves', false, true)", "true"},  {"file_exists('saves', 0, 0)", "true"},
        {"file_exists('missing')", "false"},            {"file_exists()", "false"},
    };
    for (const auto& c : cases) EXPECT_EQ(Eval(c.call), c.result) << c.call;
}

TEST_F(FileApi, RemoveDeletesMatchingFilesAndDirectoriesOnRequest) {
    outside.Write("user/saves/a.tmp", "");
    outside.Write("user/saves/b.tmp", "");
    outside.Write("user/saves/keep.sav", "");
    EXPECT_EQ(Eval("file_remove('saves/*.tmp')"), "2");
    EXPECT_EQ(Eval("file_remove()"), "0");
    EXPECT_EQ(WritableEntries(), (std::vector<std::string>{"saves", "saves/keep.sav"}));

    EXPECT_EQ(Eval("file_create_directory('slots/1')"), "true");
    EXPECT_EQ(Eval("file_create_directory('slots/1')"), "false");
    EXPECT_EQ(Eval("file_create_directory()"), "false");
    EXPECT_EQ(Eval("file_remove_directory('saves')"), "false") << "not empty";
    EXPECT_EQ(Eval("file_remove_directory('saves', 1)"), "false") << "only a boolean makes it recursive";
    EXPECT_EQ(Eval("file_remove_directory('saves', true)"), "true");
    EXPECT_EQ(Eval("file_remove_directory()"), "false");
    EXPECT_EQ(WritableEntries(), (std::vector<std::string>{"slots", "slots/1"}));
}

TEST_F(FileApi, StringsFillTheNamedTable) {
    data.Write("en.txt", "# texts\r\ntitle = Hello  \r\nbody=@@two\r\nlines@@\r\n");
    ASSERT_EQ(Run("texts = { kept = 'yes', title = 'old' } file_load_strings('texts', 'en.txt')"), "");
    EXPECT_EQ(Eval("texts.title .. '|' .. texts.body .. '|' .. texts.kept"), "Hello|two\nlines|yes");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(FileApi, StringsGoThroughTheTablesOwnSetFieldEvenWhenItFails) {
    data.Write("en.txt", std::string(20000, '#') + "\ntitle = Hello\nbody = World\n");
    ASSERT_EQ(Run("texts = setmetatable({}, {__newindex = function(t, k, v) rawset(t, k, v .. '!') end})\n"
                  "file_load_strings('texts', 'en.txt')"),
              "");
    EXPECT_EQ(Eval("texts.title .. texts.body"), "Hello!World!");
    // Under the leak checker: the file's text and the loader's strings are all freed.
    EXPECT_NE(Run("texts = setmetatable({}, {__newindex = function() error('read-only') end})\n"
                  "file_load_strings('texts', 'en.txt')")
                  .find("read-only"),
              std::string::npos);
    EXPECT_EQ(lua_gettop(L), 0);
}

// Under the leak checker: wherever memory runs out, the search's names are freed.
TEST_F(FileApi, SearchThatRunsOutOfMemoryIsAScriptError) {
    for (int i = 0; i < 12; ++i) data.Write("many/a_name_longer_than_a_short_string_" + std::to_string(i), "x");
    const MemoryRuns runs = RunWithScarceMemory(L, "file_search('many/*', true, true, true)", 80);
    EXPECT_GT(runs.outOfMemory, 12) << "memory ran out inside the filling too";
    EXPECT_LT(runs.outOfMemory, 80) << "with enough memory the search succeeds";
    EXPECT_EQ(runs.otherErrors, 0);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(FileApi, LoadThatRunsOutOfMemoryIsAScriptError) {
    data.Write("big.bin", std::string(100000, 'b'));
    const MemoryRuns runs = RunWithScarceMemory(L, "file_load('big.bin')", 4);
    EXPECT_GT(runs.outOfMemory, 0) << "under the leak checker: the file's buffer is freed";
    EXPECT_EQ(runs.otherErrors, 0);
    EXPECT_EQ(Eval("#file_load('big.bin')"), "100000");
}

TEST_F(FileApi, LoadLuaRunsTheFileAndReportsSuccess) {
    data.Write("scripts/more.lua", "loaded_value = 42");
    EXPECT_EQ(Eval("file_load_lua('scripts/more.lua')"), "true");
    EXPECT_EQ(Eval("loaded_value"), "42");
    EXPECT_EQ(Eval("file_load_lua()"), "false");
}

TEST_F(FileApi, LogWritesTheTextAsItStands) {
    g_config.create_log = true;
    ASSERT_EQ(Run("log('100% done %s %d') log() log({}) log(7)"), "");
    g_config.create_log = false;
    const std::string log = Written("log.txt");
    EXPECT_NE(log.find("100% done %s %d\r\n7\r\n"), std::string::npos) << log;
}

}  // namespace
