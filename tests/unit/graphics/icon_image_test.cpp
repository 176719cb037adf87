#include "graphics/icon_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/image_fixtures.h"

namespace {

std::string Png(int size) { return EncodeImage(FixtureFormat::Png, size, size, 4, IconPixels(size, size)); }

std::string Bitmap(int width, int height, int bitCount) {
    return EncodeIconBitmap(width, height, IconPixels(width, height), bitCount);
}

// The pixels as bytes R, G, B, A, rows top-down; empty when nothing decodes.
std::vector<uint8_t> Decode(const std::string& bytes, int* width = nullptr, int* height = nullptr) {
    DecodedImage image;
    if (!DecodeIconImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image)) return {};
    if (width) *width = image.width;
    if (height) *height = image.height;
    const auto* first = reinterpret_cast<const uint8_t*>(image.pixels.get());
    return {first, first + static_cast<std::size_t>(image.width) * image.height * 4};
}

// The bytes of an entry's header field, for files broken on purpose.
std::string WithU32At(std::string bytes, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// Old icons leave the alpha bytes of 32-bit colours zero and rely on the mask.
std::string WithoutAlpha(std::string bitmap) {
    for (std::size_t i = 40 + 3; i < 40 + 8 * 8 * 4; i += 4) bitmap[i] = 0;
    return bitmap;
}

}  // namespace

TEST(IconImage, TheLargestReadableImageOfAnIcoOrAPlainImage) {
    const std::string bitmap24 = Bitmap(9, 5, 24);  // 9 wide: rows and mask rows are padded
    const struct {
        const char* name;
        std::string bytes;
        int width, height;
    } cases[] = {
        {"plain PNG", Png(8), 8, 8},
        {"PNG images, the largest listed last", EncodeIco({{16, 16, 32, Png(16)}, {32, 32, 32, Png(32)}}), 32, 32},
        {"256 is listed as 0", EncodeIco({{48, 48, 32, Png(48)}, {256, 256, 32, Png(256)}}), 256, 256},
        {"32-bit bitmap", EncodeIco({{8, 8, 32, Bitmap(8, 8, 32)}}), 8, 8},
        {"24-bit bitmap with its mask", EncodeIco({{9, 5, 24, bitmap24}}), 9, 5},
        {"32-bit bitmap whose alpha is all zero: the mask", EncodeIco({{8, 8, 32, WithoutAlpha(Bitmap(8, 8, 32))}}), 8, 8},
        {"the largest unreadable: the next", EncodeIco({{64, 64, 32, std::string(100, 'x')}, {16, 16, 32, Png(16)}}), 16,
         16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int width = 0, height = 0;
        const std::vector<uint8_t> rgba = Decode(c.bytes, &width, &height);
        ASSERT_EQ(width, c.width);
        ASSERT_EQ(height, c.height);
        ASSERT_EQ(rgba.size(), static_cast<std::size_t>(c.width) * c.height * 4);
        EXPECT_EQ(rgba[3], 0) << "the clear corner";
        const std::size_t last = rgba.size() - 4;
        EXPECT_EQ(std::vector<uint8_t>(rgba.begin() + last, rgba.end()),
                  (std::vector<uint8_t>{10, static_cast<uint8_t>(20 + c.width - 1),
                                        static_cast<uint8_t>(30 + c.height - 1), 255}))
            << "the bottom-right pixel: rows top-down";
    }
}

TEST(IconImage, BrokenFilesGiveNoIcon) {
    const std::string good = EncodeIco({{8, 8, 24, Bitmap(8, 8, 24)}});
    const std::size_t entry = 6, dib = 6 + 16;
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not an image", "hello"},
        {"directory cut short", good.substr(0, 12)},
        {"more entries than the file holds", WithU32At(good, 2, 1 | 40u << 16)},
        {"image past the end", WithU32At(good, entry + 12, static_cast<uint32_t>(good.size()))},
        {"image longer than the file", WithU32At(good, entry + 8, 0xFFFFFFF0u)},
        {"file cut short", good.substr(0, good.size() - 40)},
        {"bitmap shorter than its pixels", WithU32At(good, entry + 8, 40 + 100)},
        {"zero width", WithU32At(good, dib + 4, 0)},
        {"huge width", WithU32At(good, dib + 4, 5000)},
        {"negative width", WithU32At(good, dib + 4, 0xFFFFFFF8u)},
        {"odd doubled height", WithU32At(good, dib + 8, 15)},
        {"huge height", WithU32At(good, dib + 8, 0x7FFFFFFEu)},
        {"16-bit colours", WithU32At(good, dib + 12, 1 | 16u << 16)},
        {"compressed", WithU32At(good, dib + 16, 1)},
        {"header larger than the image", WithU32At(good, dib, 0x10000)},
        {"palette of more than 256 colours", WithU32At(WithU32At(good, dib + 12, 1 | 8u << 16), dib + 32, 100000)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(Decode(c.bytes).empty());
    }
    DecodedImage image;
    EXPECT_FALSE(DecodeIconImage(nullptr, 10, image));
    EXPECT_FALSE(LoadIconFile("no such icon.ico", image));
}
