#include "storage/zip_container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "core/config.h"
#include "core/crash.h"
#include "fixtures/peak_memory.h"
#include "fixtures/temp_dir.h"
#include "fixtures/zip_writer.h"
#include "storage/storage.h"
#include "storage/zip_entry_reader.h"

namespace {

std::string Load(const ZipContainer& zip, const std::string& name) {
    int32_t size = -1;
    const FileData data = zip.LoadFile(name, &size);
    return data ? std::string(data.get(), static_cast<std::size_t>(size)) : "<null>";
}

std::string Pattern(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i % 97) + " of the text\n";
    text.resize(size);
    return text;
}

const ZipFixtureEntries kEntries = {
    {"b.txt", "bee"},        {"a.txt", "ay"},       {"dir/", ""},      {"dir/c.ogg", "sea"},
    {"dir/sub/", ""},        {"dir/sub/d.ogg", "d"}, {"Mixed.TXT", "m"}, {"scrambled.bin", std::string("\x00\x0F\x41", 3)},
    {"b.txt", "second bee"},
};

class ZipContainerTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        WriteZip((dir / "plain.zip").string(), kEntries, GetParam());
        ASSERT_TRUE(zip.Init((dir / "plain.zip").string(), kArchivePassword, ""));
    }

    TempDir dir;
    ZipContainer zip;
};

TEST_P(ZipContainerTest, LoadsEntriesByTheirExactBytes) {
    EXPECT_EQ(Load(zip, "a.txt"), "ay");
    EXPECT_EQ(Load(zip, "dir/c.ogg"), "sea");
    EXPECT_EQ(Load(zip, "Mixed.TXT"), "m");
    EXPECT_EQ(Load(zip, "mixed.txt"), "<null>");
    EXPECT_EQ(Load(zip, "b.txt"), "bee");  // a name held twice: the first in archive order
    EXPECT_EQ(Load(zip, "scrambled.bin"), std::string("\x00\x0F\x41", 3));  // never unscrambled
    FileInfo info;
    EXPECT_TRUE(zip.Stat("dir/sub/d.ogg", info));
    EXPECT_EQ(info.size, 1);
    EXPECT_FALSE(zip.Stat("dir/sub", info));
}

TEST_P(ZipContainerTest, WildcardNamesTakeTheFirstMatchInArchiveOrder) {
    FileInfo info;
    ASSERT_TRUE(zip.Stat("*.txt", info));
    EXPECT_EQ(info.size, 3);
    EXPECT_EQ(Load(zip, "?.txt"), "bee");
    EXPECT_EQ(Load(zip, "dir/*.ogg"), "sea");
    EXPECT_FALSE(zip.Stat("*.wav", info));
}

TEST_P(ZipContainerTest, ListReportsFilesAndDirectoriesByTheirLastPart) {
    FileInfoMap files;
    EXPECT_EQ(zip.List("*", files, true, false), 4);
    EXPECT_EQ(files.count("a.txt"), 1u);
    EXPECT_EQ(files["b.txt"].size, 3);
    EXPECT_EQ(files.count("dir"), 0u);

    FileInfoMap inDir;
    EXPECT_EQ(zip.List("dir/*", inDir, true, true), 2);
    EXPECT_EQ(inDir["c.ogg"].size, 3);
    EXPECT_EQ(inDir["sub"].size, -1);

    FileInfoMap directories;
    EXPECT_EQ(zip.List("*", directories, false, true), 1);
    EXPECT_EQ(directories["dir"].size, -1);
}

INSTANTIATE_TEST_SUITE_P(StoredAndDeflated, ZipContainerTest, testing::Bool());

TEST(ZipContainer, FailsToMountWhatIsNoArchive) {
    const TempDir dir;
    dir.Write("fake.pak", "PK not really");
    ZipContainer zip;
    EXPECT_FALSE(zip.Init((dir / "missing.pak").string(), kArchivePassword, ""));
    EXPECT_FALSE(zip.Init((dir / "fake.pak").string(), kArchivePassword, ""));
}

TEST(ZipContainer, TheArchiveFileNameMayDifferInCase) {
    const TempDir dir;
    WriteZip((dir / "Data.pak").string(), {{"a.txt", "a"}});
    ZipContainer data;
    ASSERT_TRUE(data.Init((dir / "DATA.PAK").string(), kArchivePassword, ""));
    EXPECT_EQ(Load(data, "a.txt"), "a");
}

TEST(ZipContainer, NamesOf1024BytesAndMoreAreKeptWhole) {
    const TempDir dir;
    const std::string longName = std::string(600, 'x') + "/" + std::string(600, 'y') + ".txt";
    WriteZip((dir / "long.zip").string(), {{longName, "far"}, {"short", "s"}});
    ZipContainer zip;
    ASSERT_TRUE(zip.Init((dir / "long.zip").string(), kArchivePassword, ""));
    EXPECT_EQ(Load(zip, longName), "far");
    EXPECT_EQ(Load(zip, longName.substr(0, 1023)), "<null>");
    FileInfoMap found;
    EXPECT_EQ(zip.List(std::string(600, 'x') + "/*", found, true, false), 1);
    EXPECT_EQ(found.begin()->first, std::string(600, 'y') + ".txt");
}

TEST(ZipContainer, PasswordProtectedEntriesLoadStoredOrDeflated) {
    const TempDir dir;
    const ZipFixtureEntries entries = {{"init.lua", "print('hi')"}, {"data/big.txt", Pattern(20000)}, {"empty", ""}};
    struct Maker {
        const char* what;
        std::function<void(const std::string&)> write;
    };
    const Maker makers[] = {
        {"info-zip stored", [&](const std::string& path) { WriteEncryptedZip(path, entries, kArchivePassword, true); }},
        {"info-zip deflated", [&](const std::string& path) { WriteEncryptedZip(path, entries, kArchivePassword, false); }},
    };
    for (const Maker& maker : makers) {
        SCOPED_TRACE(maker.what);
        const std::string path = (dir / (std::string(maker.what) + ".pak")).string();
        maker.write(path);
        ZipContainer zip;
        ASSERT_TRUE(zip.Init(path, kArchivePassword, ""));
        for (const auto& [name, bytes] : entries) EXPECT_EQ(Load(zip, name), bytes) << name;
    }
}

TEST(ZipContainer, AWrongPasswordIsFatal) {
    const TempDir dir;
    const std::string path = (dir / "data.pak").string();
    WriteEncryptedZip(path, {{"init.lua", "print('hi')"}}, "another password", false);
    ZipContainer zip;
    ASSERT_TRUE(zip.Init(path, kArchivePassword, ""));
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            zip.LoadFile("init.lua", nullptr);
        },
        testing::ExitedWithCode(kExitFatal), "Storage:Zip: Can't (open|read from) file init.lua");
}

TEST(ZipContainer, DamagedDataFailTheChecksum) {
    const TempDir dir;
    const std::string content = "the original content of this entry";
    WriteZip((dir / "plain.zip").string(), {{"file.txt", content}}, false);
    std::string bytes = dir.Read("plain.zip");
    const std::size_t at = bytes.find(content);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 4] ^= 0x20;
    dir.Write("damaged.zip", bytes);
    ZipContainer zip;
    ASSERT_TRUE(zip.Init((dir / "damaged.zip").string(), kArchivePassword, ""));
    EXPECT_EXIT(
        {
            g_config.create_log = true;
            zip.LoadFile("file.txt", nullptr);
        },
        testing::ExitedWithCode(kExitFatal), "Storage:Zip: Can't read from file file.txt");
}

void PutWord(std::string& bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

struct LyingSizes {
    const char* what;
    bool deflate;
    bool claimCompressed;
};

// The sizes in the directory are claims: a small archive whose entry says it holds nearly
// 2 GiB is unreadable, and reading it does not allocate that much first.
TEST(ZipEntryReader, ClaimedSizesBeyondTheDataAreUnreadable) {
    const LyingSizes cases[] = {{"stored, both sizes", false, true},
                                {"stored, uncompressed size", false, false},
                                {"deflated, uncompressed size", true, false}};
    const uint32_t claim = 0x7FFFFF00u;
    for (const LyingSizes& c : cases) {
        SCOPED_TRACE(c.what);
        const TempDir dir;
        WriteZip((dir / "real.zip").string(), {{"file.txt", Pattern(300)}}, c.deflate);
        std::string bytes = dir.Read("real.zip");
        const std::size_t central = bytes.find("PK\x01\x02");
        ASSERT_NE(central, std::string::npos);
        PutWord(bytes, 22, claim);
        PutWord(bytes, central + 24, claim);
        if (c.claimCompressed) {
            PutWord(bytes, 18, claim);
            PutWord(bytes, central + 20, claim);
        }
        const std::string path = dir.Write("lying.zip", bytes).string();
        EXPECT_EXIT(
            {
                const UnzipHandle archive(unzOpen64(path.c_str()));
                if (!archive || unzGoToFirstFile(archive.get()) != UNZ_OK) std::exit(2);
                const long before = PeakMappedKb();
                const ZipReadResult result = ReadCurrentZipEntry(archive.get(), kArchivePassword);
                std::exit(result.status == ZipReadStatus::CannotRead && PeakMappedKb() - before < 256 * 1024 ? 0 : 1);
            },
            testing::ExitedWithCode(0), "");
    }
}

}  // namespace
