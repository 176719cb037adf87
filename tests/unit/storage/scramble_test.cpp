#include "storage/scramble.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Scrambled(const std::string& plain) {
    int32_t length = 0;
    const FileData data = Storage_Scramble(static_cast<int32_t>(plain.size()), plain.data(), length);
    return std::string(data.get(), static_cast<std::size_t>(length));
}

TEST(Scramble, HelloIsStoredWithTheHeaderAndTheKey) {
    EXPECT_EQ(Scrambled("hello"), std::string("\x00\x0F\x03\x51\x1A\x54\x01", 7));
}

TEST(Scramble, TheKeyWrapsAfter48Bytes) {
    const std::string zeros(50, '\0');
    const std::string stored = Scrambled(zeros);
    ASSERT_EQ(stored.size(), 52u);
    EXPECT_EQ(stored[2 + 48], 'k');
    EXPECT_EQ(stored[2 + 49], '4');
    EXPECT_EQ(stored[2 + 47], '4');  // the key's last byte
}

TEST(Scramble, UnscrambleRoundTripsAndRefusesDataWithoutTheHeader) {
    const std::string plain = "some longer payload that runs past the 48-byte key, twice over the key length!";
    const std::string stored = Scrambled(plain);
    int32_t length = -1;
    const FileData back = Storage_Unscramble(static_cast<int32_t>(stored.size()), stored.data(), length);
    ASSERT_TRUE(back);
    EXPECT_EQ(std::string(back.get(), static_cast<std::size_t>(length)), plain);
    EXPECT_EQ(back[length], '\0');

    EXPECT_FALSE(Storage_Unscramble(2, "\x00\x0E", length));
    EXPECT_FALSE(Storage_Unscramble(1, "\x00", length));
    EXPECT_FALSE(Storage_Unscramble(0, "", length));
}

TEST(Scramble, TheBareHeaderIsAnEmptyFile) {
    int32_t length = -1;
    const FileData empty = Storage_Unscramble(2, "\x00\x0F", length);
    ASSERT_TRUE(empty);
    EXPECT_EQ(length, 0);
}

}  // namespace
