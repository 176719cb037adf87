// Text files as a Windows editor writes them (a UTF-8 byte-order mark first, CR LF line
// ends) read as the same files without either, through every reader of text files.
#include <gtest/gtest.h>

#include <lua.hpp>

#include <filesystem>
#include <string>

#include "core/config.h"
#include "fixtures/data_directory.h"
#include "formats/parcon.h"
#include "formats/start_files.h"
#include "formats/stringsloader.h"
#include "storage/storage.h"

namespace {

constexpr const char* kMark = "\xEF\xBB\xBF";

// What each reader makes of the file, as one text.
std::string ReadLanguage() {
    std::string language = "en";
    LoadLanguageFile(language);
    return language;
}

std::string ReadVersion() {
    unsigned int number = 0;
    std::string date = "0000-00-00";
    LoadVersionFile(number, date);
    return std::to_string(number) + " [" + date + "]";
}

std::string ReadConfig() {
    InitConfigDefaults();
    LoadConfig();
    return g_config.product_code + " " + g_config.product_name;
}

std::string ReadStrings() {
    lua_State* L = luaL_newstate();
    lua_newtable(L);
    const int count = LoadStringsFile(L, "strings.txt");
    lua_getfield(L, -1, "title");
    std::string out = std::to_string(count) + " [" + (lua_isstring(L, -1) ? lua_tostring(L, -1) : "nil") + "]";
    lua_close(L);
    return out;
}

std::string ReadParcon() {
    Parcon reader;
    if (!reader.OpenInclude("fx.txt")) return "missing";
    const auto root = reader.ParseList(false, true);
    ParconCursor cursor{root.get(), 0};
    std::string out;
    while (reader.Advance(cursor)) {
        const char* word = reader.CurrentString(cursor);
        const ParconList* list = reader.CurrentItemText(cursor);
        out += word ? std::string(word) : "(" + std::string(list->items[0].text.value_or("")) + ")";
        out += ' ';
    }
    return out;
}

// The start files come from the start directory, the others from a mounted data folder:
// here both are the same temporary folder.
class WindowsText : public testing::Test {
protected:
    WindowsText() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(data_.path());
        InitStorage();
        InitConfigDefaults();
    }
    ~WindowsText() override {
        std::filesystem::current_path(previous_);
        InitConfigDefaults();
    }

    DataDirectory data_;

private:
    std::filesystem::path previous_;
};

}  // namespace

TEST_F(WindowsText, ByteOrderMarkAndCarriageReturnsReadAsPlainText) {
    struct Case {
        const char* file;
        std::string (*read)();
        std::string content;
        const char* expected;
    };
    const std::string mark = kMark;
    const Case cases[] = {
        {"language.txt", ReadLanguage, mark + "de\r\n", "de"},
        {"language.txt", ReadLanguage, mark, "en"},  // as empty as no file
        {"version.txt", ReadVersion, "42\r\n2024-05-01\r\n", "42 [2024-05-01]"},
        {"version.txt", ReadVersion, mark + "42\r2024-05-01\r", "42 [2024-05-01]"},
        {"version.txt", ReadVersion, mark + "7 2023-01-02", "7 [2023-01-02]"},
        {"config.cfg", ReadConfig, mark + "product_code x\r\nproduct_name \"A B\"\r\n", "x A B"},
        {"strings.txt", ReadStrings, mark + "title = Hello\r\n", "1 [Hello]"},
        {"strings.txt", ReadStrings, mark + "# note\r\ntitle = @@a\r\nb@@\r\n", "1 [a\nb]"},
        {"fx.txt", ReadParcon, mark + "(generator 1)\r\nword\r\n", "(generator) word "},
        {"fx.txt", ReadParcon, mark + "# note\r\n[1]", "() "},
        // A mark anywhere but at the start is the file's own text.
        {"fx.txt", ReadParcon, "a " + mark, "a \xEF\xBB\xBF "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.content);
        data_.Write(c.file, c.content);
        EXPECT_EQ(c.read(), c.expected);
    }
}
