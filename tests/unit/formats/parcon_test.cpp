#include "formats/parcon.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/data_directory.h"

namespace {

// A list as "{name values...}": a name without text shows as "~".
std::string Dump(const ParconList& list) {
    std::string out = "{";
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        const ParconItem& item = list.items[i];
        if (i > 0) out += ' ';
        if (item.kind == ParconItem::kList)
            out += Dump(*item.list);
        else
            out += item.text ? *item.text : "~";
    }
    return out + "}";
}

class ParconText : public testing::Test {
protected:
    const ParconList& Parse(const std::string& text) {
        reader_.OpenText("fx.txt", text);
        root_ = reader_.ParseList(false, true);
        return *root_;
    }
    std::string DumpOf(const std::string& text) { return Dump(Parse(text)); }

    Parcon reader_;
    std::unique_ptr<ParconList> root_;
};

}  // namespace

TEST(ParconFormat, TreeShapes) {
    struct Case {
        const char* text;
        const char* tree;
    };
    const Case cases[] = {
        {"", "{__root__}"},
        {"(generator 1 2.5 (color 1 0 0))", "{__root__ {generator 1 2.5 {color 1 0 0}}}"},
        {"[1 2 3]", "{__root__ {~ 1 2 3}}"},
        {"a(b)c", "{__root__ a {b} c}"},
        {"()", "{__root__ {}}"},
        // Comments run from a '#' that begins a token to the end of the line.
        {"# note\nx#y # trailing\n\t# indented\nz", "{__root__ x#y z}"},
        {"w \"two words\" \"\"", "{__root__ w two words }"},
        {"\"say \\\"hi\\\"\" \"a\\b\"", "{__root__ say \"hi\" a\\b}"},
        {"w\"q\" x", "{__root__ w\"q\" x}"},
        // A quoted bracket acts as a bracket; either bracket closes either list.
        {"(l \")\" after", "{__root__ {l} after}"},
        {"(l ] [x)", "{__root__ {l} {~ x}}"},
        // A quote left open ends at the end of its line.
        {"\"open (x\nnext", "{__root__ open (x next}"},
        // A closing bracket at the root ends the root; the rest is not read.
        {"a ) b", "{__root__ a}"},
        // Lists left open at the end are closed silently.
        {"(a (b [c", "{__root__ {a {b {~ c}}}}"},
        // CR LF line ends; a carriage return ends its line.
        {"a\r\nb\r\n", "{__root__ a b}"},
        {"a\rlost\nb", "{__root__ a b}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Parcon reader;
        reader.OpenText("fx.txt", c.text);
        EXPECT_EQ(Dump(*reader.ParseList(false, true)), c.tree);
    }
}

TEST_F(ParconText, NulByteCutsOnlyItsLine) {
    EXPECT_EQ(DumpOf(std::string("a\0lost\nb", 8)), "{__root__ a b}");
}

TEST_F(ParconText, LongLineIsReadAsItsFirst8000Characters) {
    const std::string tree = DumpOf(std::string(10 << 20, 'a') + " cut\nnext");
    EXPECT_EQ(tree, "{__root__ " + std::string(8000, 'a') + " next}");
}

TEST_F(ParconText, CursorWalk) {
    const ParconList& root = Parse("(generator 1 2.5 (color 1 0 0) -3x)");
    ParconCursor top{&root, 0};
    EXPECT_STREQ(reader_.FirstItemValue(top), "__root__");
    ASSERT_TRUE(reader_.Advance(top));
    EXPECT_EQ(reader_.CurrentString(top), nullptr);
    const ParconList* generator = reader_.CurrentItemText(top);
    ASSERT_NE(generator, nullptr);
    EXPECT_FALSE(reader_.Advance(top));

    ParconCursor cursor{generator, 0};
    EXPECT_STREQ(reader_.FirstItemValue(cursor), "generator");
    EXPECT_TRUE(reader_.HasNext(cursor));
    EXPECT_EQ(reader_.NextInt(cursor), 1);
    EXPECT_FLOAT_EQ(reader_.NextFloat(cursor, 9), 2.5f);
    EXPECT_FALSE(reader_.HasNext(cursor));  // the next item is a list
    EXPECT_FLOAT_EQ(reader_.NextFloat(cursor, 9), 9);
    EXPECT_EQ(reader_.CurrentItemText(cursor), generator->items[3].list.get());
    EXPECT_EQ(reader_.NextString(cursor), std::string("-3x"));
    EXPECT_FALSE(reader_.HasNext(cursor));
    cursor.index = 3;
    EXPECT_EQ(reader_.NextInt(cursor), -3);
    cursor.index = 2;
    EXPECT_EQ(reader_.NextInt(cursor), 0);  // a list reads as 0
    EXPECT_EQ(*generator->items[1].source, "fx.txt");
}

TEST_F(ParconText, MoreDataExpectedNamesFileValueAndList) {
    g_config.dev_mode = true;  // fatal errors reach standard error through the message box
    const ParconList& root = Parse("(color 1)\n[7]\n()");
    auto readPastEnd = [this](const ParconList* list, std::size_t index, int reads) {
        ParconCursor cursor{list, index};
        for (int i = 0; i < reads; ++i) reader_.NextFloat(cursor, 0);
    };
    EXPECT_EXIT(readPastEnd(root.items[1].list.get(), 0, 2), testing::ExitedWithCode(kExitFatal),
                "Parcon Error: More data expected! Last read:\n\nFile: fx.txt\nValue: 1\nList name: color");
    EXPECT_EXIT(readPastEnd(root.items[2].list.get(), 1, 1), testing::ExitedWithCode(kExitFatal),
                "Value: 7\nList name: bez nazwy");
    EXPECT_EXIT(readPastEnd(root.items[3].list.get(), 0, 1), testing::ExitedWithCode(kExitFatal),
                "File: \nValue: \\(null\\)\nList name: bez nazwy");
}

TEST_F(ParconText, IncludedFileIsReadFirstThenTheIncludingOneGoesOn) {
    reader_.OpenText("outer.txt", "(outer 1");
    reader_.OpenText("inner.txt", "(inner 2)");
    const auto root = reader_.ParseList(false, true);
    EXPECT_EQ(Dump(*root), "{__root__ {inner 2} {outer 1}}");
    EXPECT_EQ(*root->items[1].list->items[1].source, "inner.txt");
    EXPECT_EQ(*root->items[2].list->items[1].source, "outer.txt");
}

TEST_F(ParconText, SixOpenFilesAtMost) {
    g_config.dev_mode = true;
    for (int i = 0; i <= Parcon::kMaxIncludeDepth; ++i) reader_.OpenText("f", "x");
    EXPECT_EXIT(reader_.OpenText("f", "x"), testing::ExitedWithCode(kExitFatal),
                "Parcon Error: Maximum allowed depth for file includes is 5!");
}

TEST_F(ParconText, DeepNestingIsFatalNotACrash) {
    const std::string fits(Parcon::kMaxNesting - 1, '(');
    EXPECT_EQ(Parse(fits).items.size(), 2u);
    g_config.dev_mode = true;
    EXPECT_EXIT(Parse(std::string(10 << 20, '[')), testing::ExitedWithCode(kExitFatal),
                "Lists nested deeper than 200 levels in fx.txt");
}

TEST(ParconStorage, OpenIncludeReadsThroughStorage) {
    const DataDirectory data;
    data.Write("fx/spark.txt", "(emitter 3)");
    Parcon reader;
    EXPECT_FALSE(reader.OpenInclude("fx/missing.txt"));
    ASSERT_TRUE(reader.OpenInclude("fx/spark.txt"));
    const auto root = reader.ParseList(false, true);
    EXPECT_EQ(Dump(*root), "{__root__ {emitter 3}}");
    EXPECT_EQ(*root->items[1].source, "fx/spark.txt");
}
