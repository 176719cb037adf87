#include "formats/vstore.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/config.h"
#include "core/crash.h"

namespace {

std::unique_ptr<VStoreNode> ParseText(const std::string& text) {
    auto root = std::make_unique<VStoreNode>();
    root->Parse(text.data(), text.size(), "test.cfg");
    return root;
}

// Fatal errors reach standard error through the message box in dev_mode.
std::unique_ptr<VStoreNode> ParseFatally(const std::string& text) {
    g_config.dev_mode = true;
    return ParseText(text);
}

std::string ValueOf(const VStoreNode& node, const std::string& key) {
    std::string value = "<absent>";
    node.GetString(key, value);
    return value;
}

}  // namespace

TEST(VStore, SeparatorsBetweenKeyAndValue) {
    for (const char* text : {"width 1024", "width = 1024", "width: 1024", "width=1024;", "  width,\n\t1024  "}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ValueOf(*ParseText(text), "width"), "1024");
    }
    const auto pairs = ParseText("a b c d");
    EXPECT_EQ(ValueOf(*pairs, "a"), "b");
    EXPECT_EQ(ValueOf(*pairs, "c"), "d");
    EXPECT_EQ(pairs->Values().size(), 2u);
}

TEST(VStore, CharactersOutsideWordsSplitTokens) {
    // '/' and '#' separate (there are no comments); bytes above 0x7F are not word characters.
    const auto path = ParseText("path data/sub");
    EXPECT_EQ(ValueOf(*path, "path"), "data");
    EXPECT_EQ(ValueOf(*path, "sub"), "<absent>");  // a key with no value before the end
    EXPECT_EQ(ValueOf(*ParseText("# note 1"), "note"), "1");
    EXPECT_EQ(ValueOf(*ParseText("k\xC3\xA9v"), "k"), "v");
    EXPECT_EQ(ValueOf(*ParseText("path \"data/sub dir\""), "path"), "data/sub dir");
}

TEST(VStore, QuotedKeysAndValues) {
    struct Case {
        const char* text;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"title \"two words\"", "title", "two words"},
        {"empty \"\"", "empty", ""},
        {"\"\" kept", "\"\"", "kept"},
        {"\"my key\" v", "my key", "v"},
        {"k \"a{b}[c]\"", "k", "a{b}[c]"},
        {"k \"a\\\"b\"", "k", "a\"b"},
        {"k \"a\\b\"", "k", "a\\b"},
        // The character after backslash-quote is taken as it stands: a quote there ends
        // the text, a backslash there is not an escape.
        {"k \"x\\\"\"", "k", "x\""},
        {"k \"a\\\"\\\" tail\"", "k", "a\"\\"},
        // A quote met inside a word ends the word.
        {"ab\"cd ef", "ab\"", "cd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ValueOf(*ParseText(c.text), c.key), c.value);
    }
}

TEST(VStore, QuoteLeftOpenAtTheEndDropsTheToken) {
    const auto root = ParseText("a 1 b \"never closed } ]");
    EXPECT_EQ(ValueOf(*root, "a"), "1");
    EXPECT_EQ(ValueOf(*root, "b"), "<absent>");
}

TEST(VStore, ListsNumberTheirElements) {
    const auto root = ParseText("items [ a \"b c\" { x 1 } [ y ] ]\nafter 2");
    const VStoreNode* items = root->GetChild("items");
    ASSERT_NE(items, nullptr);
    EXPECT_TRUE(items->IsList());
    EXPECT_EQ(ValueOf(*items, "0"), "a");
    EXPECT_EQ(ValueOf(*items, "1"), "b c");
    ASSERT_NE(items->GetChild("2"), nullptr);
    EXPECT_FALSE(items->GetChild("2")->IsList());
    EXPECT_EQ(ValueOf(*items->GetChild("2"), "x"), "1");
    ASSERT_NE(items->GetChild("3"), nullptr);
    EXPECT_EQ(ValueOf(*items->GetChild("3"), "0"), "y");
    EXPECT_EQ(ValueOf(*root, "after"), "2");
    EXPECT_EQ(ValueOf(*root, "items"), "<absent>");  // a child is not a value
}

TEST(VStore, ListValuesEnumerateInTextOrderOfTheirKeys) {
    std::string text = "l [";
    for (int i = 0; i < 12; ++i) text += " e" + std::to_string(i);
    const auto root = ParseText(text + " ]");
    std::string order;
    for (const auto& [key, value] : root->GetChild("l")->Values()) order += value + ",";
    EXPECT_EQ(order, "e0,e1,e10,e11,e2,e3,e4,e5,e6,e7,e8,e9,");
}

TEST(VStore, NestedNodesMayStayOpenAtTheEnd) {
    const auto root = ParseText("a { b { c 1 } d 2 } e { f [ 3");
    const VStoreNode* b = root->GetChild("a")->GetChild("b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(ValueOf(*b, "c"), "1");
    EXPECT_EQ(ValueOf(*root->GetChild("a"), "d"), "2");
    EXPECT_EQ(ValueOf(*root->GetChild("e")->GetChild("f"), "0"), "3");
    EXPECT_EQ(root->GetChild("missing"), nullptr);
}

TEST(VStore, LaterEntriesReplaceEarlierOnes) {
    const auto root = ParseText("k 1 k 2 n { a 1 } n { b 2 }");
    EXPECT_EQ(ValueOf(*root, "k"), "2");
    EXPECT_EQ(ValueOf(*root->GetChild("n"), "a"), "<absent>");
    EXPECT_EQ(ValueOf(*root->GetChild("n"), "b"), "2");
}

TEST(VStore, NulBytesSeparateOutsideQuotesAndStayInside) {
    const auto root = ParseText(std::string("a\0001 q \"x\0y\"", 11));
    EXPECT_EQ(ValueOf(*root, "a"), "1");
    EXPECT_EQ(ValueOf(*root, "q"), std::string("x\0y", 3));
}

TEST(VStore, TypedGetters) {
    const auto root = ParseText(
        "t true T TRUE one 1 yes yes n 30abc neg \" -7\" none abc big 99999999999 f 2.5x");
    bool flag = true;
    EXPECT_TRUE(root->GetBool("t", flag));
    EXPECT_TRUE(flag);
    for (const char* key : {"T", "one", "yes"}) {
        flag = true;
        EXPECT_TRUE(root->GetBool(key, flag)) << key;
        EXPECT_FALSE(flag) << key;
    }
    flag = true;
    EXPECT_FALSE(root->GetBool("absent", flag));
    EXPECT_TRUE(flag);

    int32_t number = 5;
    EXPECT_FALSE(root->GetInt("absent", number));
    EXPECT_EQ(number, 5);
    const std::pair<const char*, int32_t> ints[] = {{"n", 30}, {"neg", -7}, {"none", 0}, {"big", INT32_MAX}};
    for (const auto& [key, expected] : ints) {
        EXPECT_TRUE(root->GetInt(key, number));
        EXPECT_EQ(number, expected) << key;
    }
    EXPECT_FLOAT_EQ(root->GetFloatOr("f", 0), 2.5f);
    EXPECT_FLOAT_EQ(root->GetFloatOr("absent", 1.5f), 1.5f);
    EXPECT_EQ(root->GetStringOr("absent", "dflt"), "dflt");
    EXPECT_EQ(root->GetStringOr("n", "dflt"), "30abc");
}

TEST(VStore, TokenOf1023CharactersFitsAnd1024IsFatal) {
    const std::string fits(1023, 'w');
    EXPECT_EQ(ValueOf(*ParseText("k " + fits), "k"), fits);
    EXPECT_EQ(ValueOf(*ParseText("k \"" + std::string(1021, 'q') + "\""), "k"), std::string(1021, 'q'));
    EXPECT_EXIT(ParseFatally("k " + fits + "w"), testing::ExitedWithCode(kExitFatal), "token buffer too small");
    EXPECT_EXIT(ParseFatally("k \"" + std::string(1022, 'q') + "\""), testing::ExitedWithCode(kExitFatal),
                "token buffer too small");
}

TEST(VStore, MismatchedMarksAreFatalAndNameTheLine) {
    EXPECT_EXIT(ParseFatally("x [ 1 }"), testing::ExitedWithCode(kExitFatal),
                "Error parsing <test.cfg>, line 1: expected '\\]', got '}'");
    EXPECT_EXIT(ParseFatally("a {\n\"multi\nline\" 1\n]"), testing::ExitedWithCode(kExitFatal),
                "Error parsing <test.cfg>, line 4: expected '}', got '\\]'");
    EXPECT_EXIT(ParseFatally("a 1\n}"), testing::ExitedWithCode(kExitFatal), "line 2: '}' without a matching '\\{'");
    EXPECT_EXIT(ParseFatally("]"), testing::ExitedWithCode(kExitFatal), "expected '}', got '\\]'");
}

TEST(VStore, DeepNestingAndLongLinesAreSafe) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "a { ";
    const auto nested = ParseText(deep + "l " + std::string(100000, '['));
    EXPECT_NE(nested->GetChild("a"), nullptr);

    std::string line;
    line.reserve(10 << 20);
    while (line.size() < (10u << 20)) line += "key value ";
    EXPECT_EQ(ValueOf(*ParseText(line), "key"), "value");
}

TEST(VStore, EmptyTextGivesAnEmptyTree) {
    VStoreNode root;
    root.Parse(nullptr, 0, "empty");
    EXPECT_TRUE(root.Values().empty());
    EXPECT_EQ(root.GetChild("x"), nullptr);
}
