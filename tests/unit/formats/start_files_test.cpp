#include "core/config.h"
#include "formats/start_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/crash.h"
#include "fixtures/data_directory.h"
#include "fixtures/temp_dir.h"
#include "storage/storage.h"

namespace {

// Runs each test in a fresh start directory with the defaults set.
class StartDirectory : public testing::Test {
protected:
    StartDirectory() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir_.path());
        InitStorage();
        InitConfigDefaults();
    }
    ~StartDirectory() override {
        ShutdownStorage();
        std::filesystem::current_path(previous_);
        InitConfigDefaults();
    }

    void LoadConfigText(const std::string& text) {
        dir_.Write("config.cfg", text);
        LoadConfig();
    }

    TempDir dir_;

private:
    std::filesystem::path previous_;
};

}  // namespace

TEST_F(StartDirectory, EmptyConfigKeepsEveryDefault) {
    LoadConfigText("");
    EXPECT_EQ(g_config, EngineConfig{});
    EXPECT_EQ(g_config.writable_directory, "Vaspen Games/Velk Engine");
}

TEST_F(StartDirectory, WritableDirectoryFollowsAuthorAndNameUnlessGiven) {
    struct Case {
        const char* text;
        const char* writable;
    };
    const Case cases[] = {
        {"product_name X", "Vaspen Games/X"},
        {"product_author Me", "Me/Velk Engine"},
        {"product_author Me product_name \"My Game\"", "Me/My Game"},
        {"writable_directory Saves product_name X", "Saves"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        InitConfigDefaults();
        LoadConfigText(c.text);
        EXPECT_EQ(g_config.writable_directory, c.writable);
    }
}

TEST_F(StartDirectory, EveryKeyIsRead) {
    LoadConfigText(R"(
        dev_mode true  portable true  portable_directory p  product_author a  product_name n
        product_code c  writable_directory w  language_directory l  fps_limit 30abc
        icon_file i.png  icon_id 7  autoupdate true  create_log true  send_errors false
        confirm_exit true  ios_simulation true  true_text true  tex_force_power_of_2 false
        tex_force_dxt true  tex_16bit true  bit16 true  zbuffer true  vsync true  full_screen true
        width 640  height 480  window_width 800  window_height 600  opengl true  disable_audio true
    )");
    EngineConfig expected;
    expected.dev_mode = expected.portable = expected.autoupdate = expected.create_log = true;
    expected.confirm_exit = expected.ios_simulation = expected.true_text = expected.tex_force_dxt = true;
    expected.tex_16bit = expected.bit16 = expected.zbuffer = expected.vsync = expected.full_screen = true;
    expected.opengl = expected.disable_audio = true;
    expected.send_errors = expected.tex_force_power_of_2 = false;
    expected.portable_directory = "p";
    expected.product_author = "a";
    expected.product_name = "n";
    expected.product_code = "c";
    expected.writable_directory = "w";
    expected.language_directory = "l";
    expected.icon_file = "i.png";
    expected.fps_limit = 30;
    expected.icon_id = 7;
    expected.width = 640;
    expected.height = 480;
    expected.window_width = 800;
    expected.window_height = 600;
    EXPECT_EQ(g_config, expected);
}

TEST_F(StartDirectory, OnlyTheExactTextTrueIsTrue) {
    LoadConfigText("dev_mode TRUE vsync 1 zbuffer yes send_errors True opengl true dxdiag true");
    EngineConfig expected;
    expected.send_errors = false;
    expected.opengl = true;
    EXPECT_EQ(g_config, expected);
}

TEST_F(StartDirectory, CustomDataSourcesComeInKeyTextOrder) {
    std::string list = "custom_data_sources [";
    for (int i = 0; i < 12; ++i) list += " dir" + std::to_string(i);
    LoadConfigText(list + " ]");
    const std::vector<std::string> expected = {"dir0", "dir1", "dir10", "dir11", "dir2", "dir3",
                                               "dir4", "dir5", "dir6",  "dir7",  "dir8", "dir9"};
    EXPECT_EQ(g_config.custom_data_sources, expected);
}

TEST_F(StartDirectory, ConfigFileNamedOnTheCommandLine) {
    dir_.Write("other.cfg", "product_code other");
    g_config.config_file = "other.cfg";
    LoadConfig();
    EXPECT_EQ(g_config.product_code, "other");
}

TEST_F(StartDirectory, MissingOrMalformedConfigIsFatal) {
    EXPECT_EXIT(LoadConfig(), testing::ExitedWithCode(kExitFatal), "Can't load config file \\(config.cfg\\)\\.");
    // Shown in the error box even though dev_mode, read after the error, is never set.
    EXPECT_EXIT(LoadConfigText("dev_mode true\ncreate_log true\na [ }"), testing::ExitedWithCode(kExitFatal),
                "\\[ERROR\\] ERROR AT vstore.cpp, LINE [0-9]+:\nError parsing <config.cfg>, line 3");
}

TEST_F(StartDirectory, LanguageFile) {
    struct Case {
        const char* name;
        const char* content;  // null: no file
        bool loaded;
        const char* language;
    };
    const Case cases[] = {
        {"missing", nullptr, false, "en"},
        {"empty", "", false, "en"},
        {"code and line end", "de\r\n", true, "de"},
        {"padded", " \t pl \n", true, "pl"},
        {"blanks only", "  \n\t", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_ / "language.txt");
        if (c.content) dir_.Write("language.txt", c.content);
        std::string language = "en";
        EXPECT_EQ(LoadLanguageFile(language), c.loaded);
        EXPECT_EQ(language, c.language);
    }
}

TEST_F(StartDirectory, VersionFile) {
    struct Case {
        const char* name;
        const char* content;  // null: no file
        bool loaded;
        unsigned int number;
        const char* date;
    };
    const Case cases[] = {
        {"missing", nullptr, false, 0, "0000-00-00"},
        {"empty", "", false, 0, "0000-00-00"},
        {"blanks only", " \n ", true, 0, "0000-00-00"},
        {"number only", "42", true, 42, "0000-00-00"},
        {"number and date", "42 2024-05-01", true, 42, "2024-05-01"},
        {"extra words, line ends", "\n 7\n\n2023-01-02 beta\n", true, 7, "2023-01-02"},
        {"not a number", "abc 2024-05-01", true, 0, "2024-05-01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_ / "version.txt");
        if (c.content) dir_.Write("version.txt", c.content);
        unsigned int number = 0;
        std::string date = "0000-00-00";
        EXPECT_EQ(LoadVersionFile(number, date), c.loaded);
        EXPECT_EQ(number, c.number);
        EXPECT_EQ(date, c.date);
    }
}

TEST_F(StartDirectory, StartFilesNeverComeFromDataContainers) {
    const DataDirectory data;
    data.Write("config.cfg", "product_code from_data");
    data.Write("language.txt", "de");
    std::string language = "en";
    EXPECT_FALSE(LoadLanguageFile(language));
    EXPECT_EQ(language, "en");
    EXPECT_EXIT(LoadConfig(), testing::ExitedWithCode(kExitFatal), "Can't load config file");
    LoadConfigText("product_code from_start");
    EXPECT_EQ(g_config.product_code, "from_start");
}
