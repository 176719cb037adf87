#include "graphics/image_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/config.h"
#include "graphics/surface.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/mounted_dir.h"
#include "fixtures/peak_memory.h"

namespace {


struct Decoded {
    int channels;
    DecodedImage image;
};

Decoded Decode(const std::string& file) {
    Decoded d;
    d.channels = TryDecodeImage(reinterpret_cast<const uint8_t*>(file.data()), file.size(), d.image);
    return d;
}

uint32_t Rgba(const std::vector<uint8_t>& p, std::size_t i, int channels) {
    const uint8_t* q = &p[i * channels];
    return channels == 4 ? (q[0] | q[1] << 8 | q[2] << 16 | uint32_t{q[3]} << 24)
                         : (q[0] | q[1] << 8 | q[2] << 16 | 0xFF000000u);
}

struct LosslessCase {
    const char* label;
    FixtureFormat format;
    int channels;
};

TEST(ImageLoader, LosslessFormatsDecodeExactly) {
    const std::vector<LosslessCase> cases = {
        {"png rgba", FixtureFormat::Png, 4}, {"png rgb", FixtureFormat::Png, 3}, {"tga rgba", FixtureFormat::Tga, 4},
        {"tga rle", FixtureFormat::TgaRle, 4}, {"tga rle rgb", FixtureFormat::TgaRle, 3},
        {"bmp rgb", FixtureFormat::Bmp, 3}, {"bmp rgba", FixtureFormat::Bmp, 4},
    };
    for (const LosslessCase& c : cases) {
        SCOPED_TRACE(c.label);
        const auto pixels = PatternPixels(7, 5, c.channels);
        const Decoded d = Decode(EncodeImage(c.format, 7, 5, c.channels, pixels));
        ASSERT_EQ(d.channels, c.channels);
        ASSERT_EQ(d.image.width, 7);
        ASSERT_EQ(d.image.height, 5);
        EXPECT_EQ(d.image.hasAlpha, c.channels == 4);
        for (std::size_t i = 0; i < 35; ++i) ASSERT_EQ(d.image.pixels[i], Rgba(pixels, i, c.channels)) << i;
    }
}

TEST(ImageLoader, JpegDecodesCloseToTheSource) {
    std::vector<uint8_t> flat(16 * 16 * 3);
    for (std::size_t i = 0; i < flat.size(); i += 3) flat[i] = 200, flat[i + 1] = 100, flat[i + 2] = 50;
    const Decoded d = Decode(EncodeImage(FixtureFormat::Jpg, 16, 16, 3, flat));
    ASSERT_EQ(d.channels, 3);
    EXPECT_FALSE(d.image.hasAlpha);
    const uint32_t p = d.image.pixels[100];
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 200, 3);
    EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 100, 3);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 50, 3);
    EXPECT_EQ(p >> 24, 0xFFu);
}

TEST(ImageLoader, GreyKeepsGreyAsAlpha) {
    const std::vector<uint8_t> grey = {0, 80, 255};
    const Decoded d = Decode(EncodeImage(FixtureFormat::Png, 3, 1, 1, grey));
    ASSERT_EQ(d.channels, 1);
    EXPECT_FALSE(d.image.hasAlpha);
    EXPECT_EQ(d.image.pixels[0], 0u);
    EXPECT_EQ(d.image.pixels[1], 0x50505050u);
    EXPECT_EQ(d.image.pixels[2], 0xFFFFFFFFu);
}

TEST(ImageLoader, DdsUncompressed) {
    const auto rgba = PatternPixels(5, 3, 4);
    const Decoded withAlpha = Decode(EncodeDds(5, 3, rgba));
    ASSERT_EQ(withAlpha.channels, 4);
    EXPECT_TRUE(withAlpha.image.hasAlpha);
    for (std::size_t i = 0; i < 15; ++i) ASSERT_EQ(withAlpha.image.pixels[i], Rgba(rgba, i, 4));
    const Decoded opaque = Decode(EncodeDds(5, 3, rgba, false));
    ASSERT_EQ(opaque.channels, 3);
    EXPECT_FALSE(opaque.image.hasAlpha);
    EXPECT_EQ(opaque.image.pixels[4], Rgba(rgba, 4, 4) | 0xFF000000u);
}

TEST(ImageLoader, DdsBlockCompressed) {
    // One DXT1 block: colour 0 pure red, colour 1 pure blue, indices 0,1,2,3 in the first row.
    const std::string dxt1("\x00\xF8\x1F\x00\xE4\x00\x00\x00", 8);
    const Decoded d1 = Decode(EncodeDdsBlocks("DXT1", 4, 4, dxt1));
    ASSERT_EQ(d1.channels, 4);
    EXPECT_EQ(d1.image.pixels[0], 0xFF0000FFu);
    EXPECT_EQ(d1.image.pixels[1], 0xFFFF0000u);
    EXPECT_EQ(d1.image.pixels[2], 0xFF5500AAu);  // two thirds red
    EXPECT_EQ(d1.image.pixels[3], 0xFFAA0055u);
    EXPECT_EQ(d1.image.pixels[4], 0xFF0000FFu);

    // DXT5 on a 2 x 2 image (one block, cropped): alpha 255 / 0 interpolated, index 1 everywhere = 0.
    std::string dxt5("\xFF\x00\x49\x92\x24\x49\x92\x24", 8);
    dxt5 += dxt1;
    const Decoded d5 = Decode(EncodeDdsBlocks("DXT5", 2, 2, dxt5));
    ASSERT_EQ(d5.channels, 4);
    ASSERT_EQ(d5.image.width, 2);
    EXPECT_EQ(d5.image.pixels[0] >> 24, 0u);
    EXPECT_EQ(d5.image.pixels[2] & 0xFFFFFFu, 0x0000FFu);
}

// Pixels as stored upright, 0xRRGGBB opaque, from a palette and indices.
std::vector<uint32_t> Opaque(const std::vector<uint32_t>& palette, const std::vector<uint8_t>& indices) {
    std::vector<uint32_t> out;
    for (const uint8_t i : indices) {
        const uint32_t c = i < palette.size() ? palette[i] : 0;
        out.push_back((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16 | 0xFF000000u);
    }
    return out;
}

struct BmpCase {
    const char* label;
    int bits;
    std::vector<uint32_t> palette;
    bool topDown;
};

// Paletted BMPs of every depth, bottom-up and top-down, with whole palettes and with fewer
// colours than the indices reach: those indices give opaque black, every time.
TEST(ImageLoader, PalettedBmpsDecodeUprightAndMissingColoursAreBlack) {
    constexpr int kW = 5, kH = 3;
    const std::vector<uint32_t> sixteen = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF,
                                           0x808080, 0x400000, 0x004000, 0x000040, 0x404000, 0x004040, 0x400040,
                                           0xC0C0C0, 0xFFFFFF};
    const std::vector<BmpCase> cases = {
        {"8 bits, whole", 8, sixteen, false},         {"8 bits, top-down", 8, sixteen, true},
        {"8 bits, 2 colours", 8, {0xFF0000, 0x00FF00}, false},
        {"4 bits, whole", 4, sixteen, true},          {"4 bits, 3 colours", 4, {0x123456, 0xABCDEF, 0x0000FF}, false},
        {"1 bit, whole", 1, {0xFFFFFF, 0x00FF00}, true}, {"1 bit, 1 colour", 1, {0xFFFFFF}, false},
    };
    for (const BmpCase& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<uint8_t> indices(kW * kH);
        for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>((i * 7 + 3) % (1u << c.bits));
        const std::vector<uint32_t> expected = Opaque(c.palette, indices);
        for (int run = 0; run < 2; ++run) {
            const Decoded d = Decode(EncodePalettedBmp(kW, kH, c.bits, c.palette, indices, c.topDown));
            ASSERT_EQ(d.channels, 3);
            ASSERT_EQ(d.image.width, kW);
            ASSERT_EQ(d.image.height, kH);
            for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(d.image.pixels[i], expected[i]) << i;
        }
    }
}

// A palette offset short of the header leaves no colour to read: refused.
TEST(ImageLoader, PalettedBmpWithoutRoomForAPaletteIsRefused) {
    std::string bmp = EncodePalettedBmp(4, 4, 8, {0xFF0000}, std::vector<uint8_t>(16, 0));
    ASSERT_EQ(Decode(bmp).channels, 3);
    for (const uint32_t offset : {50u, 53u}) {
        bmp.replace(10, 4, reinterpret_cast<const char*>(&offset), 4);
        EXPECT_EQ(Decode(bmp).channels, 0) << offset;
    }
}

// Direct-colour BMPs stored top-down, and TGAs stored right to left, decode upright.
TEST(ImageLoader, TopDownBmpsAndRightToLeftTgasDecodeUpright) {
    constexpr int kW = 7, kH = 4;
    for (const int channels : {3, 4}) {
        SCOPED_TRACE(channels);
        const auto source = PatternPixels(kW, kH, channels);
        const std::string bmp = BmpToTopDown(EncodeImage(FixtureFormat::Bmp, kW, kH, channels, source));
        const std::string tga = TgaToRightToLeft(EncodeImage(FixtureFormat::Tga, kW, kH, channels, source), kW, kH,
                                                 channels);
        for (const std::string& file : {bmp, tga}) {
            const Decoded d = Decode(file);
            ASSERT_EQ(d.channels, channels);
            ASSERT_EQ(d.image.height, kH);
            for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(d.image.pixels[i], Rgba(source, i, channels)) << i;
        }
    }
}

// Every format, cut short or garbled, is refused without reading past the buffer.
TEST(ImageLoader, TruncatedAndGarbageFilesAreRefused) {
    const auto rgba = PatternPixels(16, 16, 4), rgb = PatternPixels(16, 16, 3);
    const std::vector<std::pair<const char*, std::string>> files = {
        {"png", EncodeImage(FixtureFormat::Png, 16, 16, 4, rgba)},
        {"jpg", EncodeImage(FixtureFormat::Jpg, 16, 16, 3, rgb)},
        {"tga", EncodeImage(FixtureFormat::Tga, 16, 16, 4, rgba)},
        {"tga rle", EncodeImage(FixtureFormat::TgaRle, 16, 16, 3, rgb)},
        {"bmp", EncodeImage(FixtureFormat::Bmp, 16, 16, 3, rgb)},
        {"dds", EncodeDds(16, 16, rgba)},
        {"dxt5", EncodeDdsBlocks("DXT5", 16, 16, std::string(16 * 16, '\x11'))},
    };
    for (const auto& [label, file] : files) {
        SCOPED_TRACE(label);
        ASSERT_GT(Decode(file).channels, 0);
        for (std::size_t keep : {file.size() / 2, std::size_t{20}, std::size_t{4}, std::size_t{0}})
            EXPECT_EQ(Decode(file.substr(0, keep)).channels, 0) << keep;
        std::string garbage = file.substr(0, 4);
        uint32_t seed = 12345;
        for (int i = 0; i < 600; ++i) garbage += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        EXPECT_EQ(Decode(garbage).channels, 0);
    }
}

// Flipped header bytes may or may not decode, but never crash or overrun.
TEST(ImageLoader, CorruptedHeadersStayInBounds) {
    const auto rgba = PatternPixels(8, 8, 4);
    for (const std::string& file : {EncodeImage(FixtureFormat::Png, 8, 8, 4, rgba),
                                    EncodeImage(FixtureFormat::Bmp, 8, 8, 4, rgba),
                                    EncodeImage(FixtureFormat::TgaRle, 8, 8, 4, rgba), EncodeDds(8, 8, rgba)}) {
        for (std::size_t i = 0; i < std::min<std::size_t>(file.size(), 140); ++i) {
            std::string broken = file;
            broken[i] = static_cast<char>(broken[i] ^ 0xA5);
            const Decoded d = Decode(broken);
            if (d.channels > 0) {
                EXPECT_GT(d.image.width, 0);
            }
        }
    }
}

// An extra huffman table (AC table 3, unused by the image) listing 300 symbols: the
// decoder would write its symbols past the table, yet still decode the image.
TEST(ImageLoader, JpegHuffmanTablesOfMoreThan256SymbolsAreRefused) {
    const std::string jpg = EncodeImage(FixtureFormat::Jpg, 16, 16, 3, PatternPixels(16, 16, 3));
    ASSERT_EQ(Decode(jpg).channels, 3);
    for (const int symbols : {256, 257, 300}) {
        SCOPED_TRACE(symbols);
        const int length = 2 + 17 + symbols;
        std::string table = {'\xFF', '\xC4', static_cast<char>(length >> 8), static_cast<char>(length & 255), '\x13'};
        table += std::string(14, '\0');
        table += static_cast<char>(symbols - 255);  // codes of 15 bits
        table += '\xFF';                            // codes of 16 bits
        for (int i = 0; i < symbols; ++i) table += static_cast<char>(i);
        // After the start marker, and once more with fill bytes before the table's marker.
        EXPECT_EQ(Decode(jpg.substr(0, 2) + table + jpg.substr(2)).channels, symbols <= 256 ? 3 : 0);
        EXPECT_EQ(Decode(jpg.substr(0, 2) + "\xFF\xFF" + table + jpg.substr(2)).channels, symbols <= 256 ? 3 : 0);
    }
}

TEST(ImageLoader, HugeClaimedSizesAreRefused) {
    std::string bmp = EncodeImage(FixtureFormat::Bmp, 2, 2, 3, PatternPixels(2, 2, 3));
    const int32_t side = 60000;
    bmp.replace(18, 4, reinterpret_cast<const char*>(&side), 4);
    bmp.replace(22, 4, reinterpret_cast<const char*>(&side), 4);
    EXPECT_EQ(Decode(bmp).channels, 0);
    std::string dds = EncodeDds(2, 2, PatternPixels(2, 2, 4));
    dds.replace(12, 4, reinterpret_cast<const char*>(&side), 4);
    EXPECT_EQ(Decode(dds).channels, 0);
}

// A scan that decodes with a table slot no segment defined: the decoder would index its
// symbols with garbage from the unset slot.
TEST(ImageLoader, JpegScansMustUseDefinedHuffmanTables) {
    const std::string jpg = EncodeImage(FixtureFormat::Jpg, 16, 16, 3, PatternPixels(16, 16, 3));
    const std::size_t scan = jpg.find("\xFF\xDA");
    ASSERT_NE(scan, std::string::npos);
    ASSERT_EQ(jpg[scan + 6], '\x00');  // the first component's DC and AC slots
    for (const char slots : {'\x03', '\x20', '\x33'}) {
        std::string broken = jpg;
        broken[scan + 6] = slots;
        EXPECT_EQ(Decode(broken).channels, 0) << int{slots};
    }
}

// The decoder reads these numbers into an int unchecked: one past its range is refused.
TEST(ImageLoader, PnmHeaderNumbersMustFitAnInt) {
    const std::string pixels(5 * 3 * 3, '\x40');
    const std::vector<std::pair<std::string, int>> cases = {
        {"P6\n5 3\n255\n", 3},
        {"P6 # a comment\n00000000005 3 255\n", 3},
        {"P6\n5 2147483648\n255\n", 0},
        {"P6\n99999999999999999999 3\n255\n", 0},
        {"P5\n5 3\n4294967296\n", 0},
    };
    for (const auto& [header, channels] : cases) EXPECT_EQ(Decode(header + pixels).channels, channels) << header;
}

// A header claiming more pixels than the file can hold is refused at once, not decoded
// from zeros for seconds first (stb fills what is missing and decodes on).
TEST(ImageLoader, ClaimsBeyondWhatTheFileHoldsAreRefusedBeforeDecoding) {
    std::string bmp = EncodeImage(FixtureFormat::Bmp, 5, 3, 3, PatternPixels(5, 3, 3));
    const int32_t height = 13000000;  // 65 million pixels, under the absolute limit
    bmp.replace(22, 4, reinterpret_cast<const char*>(&height), 4);
    std::string tga = EncodeImage(FixtureFormat::TgaRle, 5, 3, 3, PatternPixels(5, 3, 3));
    tga[12] = '\xD0', tga[13] = '\x07', tga[14] = '\xFF', tga[15] = '\x7F';  // 2000 x 32767 pixels
    for (const std::string& file : {bmp, tga}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Decode(file).channels, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    }
}

TEST(ImageLoader, PngChunksMustLieInsideTheFile) {
    const std::string png = EncodeImage(FixtureFormat::Png, 5, 3, 4, PatternPixels(5, 3, 4));
    ASSERT_EQ(Decode(png).channels, 4);
    EXPECT_EQ(Decode(png + "trailing bytes").channels, 4);
    // A data chunk that says 1.5 GiB and holds 4 bytes: the decoder would reserve it all.
    const std::size_t end = png.size() - 12;
    const std::string lying = png.substr(0, end) + std::string("\x60\x00\x00\x00IDATabcd", 12) + png.substr(end);
    EXPECT_EXIT(
        {
            const long before = PeakMappedKb();
            const bool refused = Decode(lying).channels == 0;
            std::exit(refused && PeakMappedKb() - before < 256 * 1024 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

class ImageFiles : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const std::string& bytes) {
        dir_.Write(name, bytes);
        return name;
    }
    MountedDir dir_;
};

TEST_F(ImageFiles, LoadSurfaceFromFileAndValidity) {
    const auto rgb = PatternPixels(3, 2, 3);
    const std::string good = Put("a.png", EncodeImage(FixtureFormat::Png, 3, 2, 3, rgb));
    Surface s;
    s.Create(9, 9, true);
    LoadSurfaceFromFile(s, good);
    EXPECT_EQ(s.width, 3);
    EXPECT_EQ(s.height, 2);
    EXPECT_FALSE(s.hasAlpha);
    EXPECT_TRUE(s.ownsPixels);
    EXPECT_EQ(s.pixels[5], Rgba(rgb, 5, 3));

    EXPECT_TRUE(IsImageFileValid(good));
    EXPECT_FALSE(IsImageFileValid(Put("grey_alpha.png", EncodeImage(FixtureFormat::Png, 2, 2, 2, PatternPixels(2, 2, 2)))));
    EXPECT_FALSE(IsImageFileValid(Put("junk.png", "not an image at all")));
    EXPECT_FALSE(IsImageFileValid("missing.png"));
}

void LoadWithLog(const std::string& name) {
    g_config.create_log = true;  // the fatal text reaches standard error
    Surface s;
    LoadSurfaceFromFile(s, name);
}

TEST_F(ImageFiles, DecodeFailuresAreFatal) {
    const std::string greyAlpha = Put("ga.png", EncodeImage(FixtureFormat::Png, 2, 2, 2, PatternPixels(2, 2, 2)));
    EXPECT_EXIT(LoadWithLog(greyAlpha), testing::ExitedWithCode(3),
                "Invalid image - must be 8 bit, 24 bit or 24 bit \\+ alpha\\.");
    const std::string png = EncodeImage(FixtureFormat::Png, 8, 8, 4, PatternPixels(8, 8, 4));
    const std::string cut = Put("cut.png", png.substr(0, png.size() / 2));
    EXPECT_EXIT(LoadWithLog(cut), testing::ExitedWithCode(3),
                "Problems loading image\\.\nIf this is a progressive JPEG, then they're not supported\\.");
    EXPECT_EXIT(LoadWithLog("nothing.png"), testing::ExitedWithCode(3), "file not found");
}

}  // namespace
