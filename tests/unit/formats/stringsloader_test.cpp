#include "formats/stringsloader.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <map>
#include <memory>
#include <string>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/data_directory.h"

namespace {

// The real line reader over a text, without storage.
class TextSource : public StreamStringsSource {
public:
    explicit TextSource(std::string text) : text_(std::move(text)) {}
    bool Open(const std::string&) override {
        OpenBytes(text_);
        return true;
    }

private:
    std::string text_;
};

class MissingSource : public StringsSource {
public:
    bool Open(const std::string&) override { return false; }
    bool ReadLine(std::string&) override { return false; }
};

using Table = std::map<std::string, std::string>;

struct LuaCloser {
    void operator()(lua_State* L) const { lua_close(L); }
};

class StringsFile : public testing::Test {
protected:
    StringsFile() : lua_(luaL_newstate()) { lua_newtable(lua_.get()); }

    int Parse(StringsSource& source) { return ParseStrings(lua_.get(), source, "strings.txt"); }

    // Parses text into a fresh table and returns the table's fields.
    Table Load(const std::string& text, int* count = nullptr) {
        lua_State* L = lua_.get();
        lua_settop(L, 0);
        lua_newtable(L);
        TextSource source(text);
        const int stored = Parse(source);
        if (count) *count = stored;
        Table table;
        for (lua_pushnil(L); lua_next(L, 1); lua_pop(L, 1)) {
            std::size_t size = 0;
            const char* value = lua_tolstring(L, -1, &size);
            table[lua_tostring(L, -2)] = std::string(value, size);
        }
        return table;
    }

    std::unique_ptr<lua_State, LuaCloser> lua_;
};

}  // namespace

TEST_F(StringsFile, EntryLineForms) {
    for (const char* text : {"title = Hello", "  title=Hello   ", "title =Hello", "\ttitle\t=\tHello\r\n"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Load(text), (Table{{"title", "Hello"}}));
    }
    EXPECT_EQ(Load("my-key_2 = x y = z"), (Table{{"my-key_2", "x y = z"}}));
    EXPECT_EQ(Load("= value"), (Table{{"", "value"}}));
}

TEST_F(StringsFile, ValueForms) {
    struct Case {
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        {"v = one\\ntwo", "one\ntwo"},
        {"v = a\\tb\\", "a\\tb\\"},
        {"v = ends in a line feed\\n", "ends in a line feed"},  // trailing white space goes
        {"v = a@b", "a@b"},
        {"v = cut\rhere", "cut"},
        {"v =", ""},
        // Multi-line values: no escapes, no trimming; each line end is one line feed.
        {"v = @@Line one\nLine two@@", "Line one\nLine two"},
        {"v = @@\nx\n@@ ignored", "\nx\n"},
        {"v = @@one\r\ntwo @\\n  @@\r\n", "one\ntwo @\\n  "},
        {"v = @@a\nb", "a\nb\n"},  // ends with the file
        {"v = @@same line@@ rest", "same line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Load(c.text), (Table{{"v", c.value}}));
    }
}

TEST_F(StringsFile, IgnoredLinesAndCounts) {
    int count = 0;
    const Table table = Load("# comment\n   # indented\n\n \t \njust_a_name\nk = 1\nk = 2\nj = 3", &count);
    EXPECT_EQ(table, (Table{{"k", "2"}, {"j", "3"}}));
    EXPECT_EQ(count, 3);
}

TEST_F(StringsFile, CrLfGivesTheSameTableAsLf) {
    const std::string lf = "a = 1\n# c\nb = @@x\ny@@\nc = two\\nlines  \n";
    std::string crlf;
    for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Load(crlf), Load(lf));
    EXPECT_EQ(Load(lf).at("b"), "x\ny");
}

TEST_F(StringsFile, NulByteEndsItsLine) {
    EXPECT_EQ(Load(std::string("v = a\0b\nname\0 junk\nw = 2", 24)), (Table{{"v", "a"}, {"w", "2"}}));
}

TEST_F(StringsFile, LongLinesStayWhole) {
    const std::string value(10 << 20, 'x');
    EXPECT_EQ(Load("v = " + value + "\nw = @@" + value + "@@").at("w"), value);
}

TEST_F(StringsFile, MissingSourceGivesMinusOne) {
    MissingSource source;
    EXPECT_EQ(Parse(source), -1);
}

TEST_F(StringsFile, MalformedLineIsFatalWithItsNumber) {
    g_config.dev_mode = true;  // fatal errors reach standard error through the message box
    EXPECT_EXIT(Load("a = 1\ntwo words"), testing::ExitedWithCode(kExitFatal),
                "Error processing file <strings.txt>\n Line 2: two words");
    // The lines of a multi-line value count too.
    EXPECT_EXIT(Load("a = @@x\ny\n@@\nk.e = 1"), testing::ExitedWithCode(kExitFatal), "Line 4: k.e = 1");
}

TEST_F(StringsFile, LoadStringsFileReadsThroughStorage) {
    const DataDirectory data;
    data.Write("strings/en.txt", "hello = Hello\nbye = @@Good\nbye@@\n");
    EXPECT_EQ(LoadStringsFile(lua_.get(), "strings/en.txt"), 2);
    lua_getfield(lua_.get(), -1, "bye");
    EXPECT_STREQ(lua_tostring(lua_.get(), -1), "Good\nbye");
    g_config.dev_mode = true;
    EXPECT_EXIT(LoadStringsFile(lua_.get(), "strings/missing.txt"), testing::ExitedWithCode(kExitFatal),
                "Storage: LoadFile - file not found: strings/missing.txt");
}
