#include "storage/storage_path.h"

#include <gtest/gtest.h>

#include "platform/linux/storage_linux.h"

namespace {

struct MatchCase {
    const char* pattern;
    const char* text;
    bool matches;
};

TEST(WildcardMatch, FollowsTheArchiveRules) {
    const MatchCase cases[] = {
        {"*.ogg", "a.ogg", true},
        {"*.ogg", "dir/a.ogg", false},   // '*' stops at '/'
        {"*.ogg", "a.b.ogg", false},     // one greedy pass, no backtracking
        {"sounds/*", "sounds/a.ogg", true},
        {"sounds/*", "sounds/sub/", true},  // a directory entry
        {"sounds/*", "sounds/sub/a.ogg", false},
        {"*a", "bab", false},
        {"*a", "ba", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"abc", "abc", true},
        {"abc", "abcd", false},
        {"abc", "ab", false},
        {"abc", "ABC", false},  // bytes, case-sensitive
        {"*", "anything.txt", true},
        {"*", "", true},
        {"*", "dir/file", false},
        {"", "", true},
        {"", "a", false},
        {"*.ogg", "a.oggg", true},  // the last pattern character repeated to the end
        {"*x", "xyx", false},
    };
    for (const auto& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
}

TEST(DirectorySearchMatch, IgnoresCaseAndTreatsStarDotStarAsEverything) {
    const MatchCase cases[] = {
        {"*.*", "readme", true},
        {"*.*", "a.b.c", true},
        {"*.OGG", "Track.ogg", true},
        {"*.ogg", "a.b.ogg", true},  // backtracks, unlike the archive matcher
        {"save.*", "SAVE", true},
        {"save.*", "saves", false},
        {"a?c", "ABC", true},
        {"*", ".hidden", true},
        {"*.txt", "a.txt.bak", false},
        {"init.lua", "Init.LUA", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Storage_WildcardMatchName(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
}

TEST(StoragePath, SplitsNamesAtEitherSeparator) {
    struct Case {
        const char* path;
        const char* directory;
        const char* fileName;
        const char* extension;
        const char* withoutExtension;
    };
    const Case cases[] = {
        {"a/b/c.txt", "a/b", "c.txt", "txt", "a/b/c"},
        {"a\\b.c\\d", "a\\b.c", "d", "", "a\\b.c\\d"},  // the dot of a folder is no extension
        {"file", "", "file", "", "file"},
        {"x.tar.gz", "", "x.tar.gz", "gz", "x.tar"},
        {"dir/", "dir", "", "", "dir/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetDirectory(c.path), c.directory) << c.path;
        EXPECT_EQ(GetFileName(c.path), c.fileName) << c.path;
        EXPECT_EQ(GetExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(RemoveExtension(c.path), c.withoutExtension) << c.path;
    }
    const char path[] = "sounds.d/voice.ogg";
    EXPECT_STREQ(FindExtension(path), "ogg");
    EXPECT_EQ(FindExtension("sounds.d/voice"), nullptr);
    EXPECT_EQ(FindExtension("voice"), nullptr);
}

TEST(StoragePath, AbsoluteAndNormalised) {
    EXPECT_TRUE(IsAbsolutePath("/usr"));
    EXPECT_TRUE(IsAbsolutePath("\\share"));
    EXPECT_TRUE(IsAbsolutePath("C:games"));
    EXPECT_FALSE(IsAbsolutePath("data/x"));
    EXPECT_FALSE(IsAbsolutePath(""));
    EXPECT_EQ(NormalizePath(" \tData\\Sub/\n"), "Data/Sub");
    EXPECT_EQ(NormalizePath("a//"), "a");
    EXPECT_EQ(NormalizePathLower("\\Data\\Init.LUA "), "/data/init.lua");
}

TEST(StoragePath, FullPathsAreWorkedOutFromTheTextAlone) {
    EXPECT_EQ(Storage_GetFullPath("/no/such/./place/../dir/"), "/no/such/dir");
    EXPECT_EQ(Storage_GetFullPath("/a\\b\\..\\c"), "/a/c");
    EXPECT_EQ(Storage_GetFullPath("/../.."), "/");
    const std::string here = Storage_GetFullPath("");
    ASSERT_FALSE(here.empty());
    EXPECT_EQ(here[0], '/');
    EXPECT_EQ(Storage_GetFullPath("missing/../x"), here == "/" ? "/x" : here + "/x");
}

}  // namespace
