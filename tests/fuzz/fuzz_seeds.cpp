// Writes the seed corpus of every binary-reader target: small valid files of each kind,
// made by the test fixtures' writers. Usage: fuzz_seeds <corpus folder>
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fixtures/fnt_fixture.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/pack_writer.h"
#include "fixtures/temp_dir.h"
#include "fixtures/theora_video.h"
#include "fixtures/zip_writer.h"
#include "fuzz_fonts.h"
#include "storage/storage.h"

namespace {

namespace fs = std::filesystem;

void WriteSeeds(const fs::path& folder, const std::vector<std::string>& seeds) {
    fs::create_directories(folder);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::ofstream out(folder / ("seed-" + std::to_string(i)), std::ios::binary);
        out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
    }
}

std::vector<std::string> PackSeeds() {
    return {BuildPack({}),
            BuildPack({{"a.txt", "alpha"}, {"b/c.txt", "see"}, {"b/d.txt", ""}}),
            BuildPack({{"secret.lua", "return 42 -- scrambled", true}, {"plain.txt", "plain"}, {"x", std::string("\0\x0F", 2), false}})};
}

const ZipFixtureEntries kZipEntries = {
    {"dir/", ""}, {"dir/a.txt", "hello hello hello"}, {"b.bin", std::string(40, 'z')}, {"empty", ""}};

std::string ZipBytes(void (*write)(const std::string&)) {
    const TempDir folder;
    const std::string path = (folder / "seed.zip").string();
    write(path);
    return folder.Read("seed.zip");
}

std::vector<std::string> ZipSeeds() {
    return {ZipBytes([](const std::string& path) { WriteZip(path, kZipEntries, true); }),
            ZipBytes([](const std::string& path) { WriteZip(path, kZipEntries, false); }),
            ZipBytes([](const std::string& path) {
                WriteEncryptedZip(path, {{"a.txt", "hello hello hello"}, {"sub/b.txt", "bee"}}, kArchivePassword, true);
            }),
            ZipBytes([](const std::string& path) {
                WriteEncryptedZip(path, {{"a.txt", "hello hello hello"}, {"sub/b.txt", "bee"}}, kArchivePassword, false);
            })};
}

std::string DxtBlocks(int count, std::size_t blockSize) {
    std::string blocks;
    for (int i = 0; i < count; ++i)
        for (std::size_t b = 0; b < blockSize; ++b) blocks += static_cast<char>((i * 31 + b * 17) & 255);
    return blocks;
}

std::vector<std::string> DdsSeeds() {
    const auto rgba = PatternPixels(5, 3, 4);
    return {EncodeDds(5, 3, rgba, true), EncodeDds(5, 3, rgba, false), EncodeDdsBlocks("DXT1", 5, 3, DxtBlocks(2, 8)),
            EncodeDdsBlocks("DXT3", 5, 3, DxtBlocks(2, 16)), EncodeDdsBlocks("DXT5", 5, 3, DxtBlocks(2, 16))};
}

std::vector<std::string> ImageSeeds() {
    std::vector<std::string> seeds;
    for (const int channels : {1, 2, 3, 4})
        seeds.push_back(EncodeImage(FixtureFormat::Png, 5, 3, channels, PatternPixels(5, 3, channels)));
    for (const FixtureFormat format : {FixtureFormat::Jpg, FixtureFormat::Tga, FixtureFormat::TgaRle, FixtureFormat::Bmp})
        for (const int channels : {1, 3, 4})
            seeds.push_back(EncodeImage(format, 5, 3, channels, PatternPixels(5, 3, channels)));
    const auto dds = DdsSeeds();
    seeds.insert(seeds.end(), dds.begin(), dds.end());
    return seeds;
}

std::vector<std::string> IconSeeds() {
    const auto rgba = PatternPixels(9, 5, 4);
    const std::string png = EncodeImage(FixtureFormat::Png, 9, 5, 4, rgba);
    return {png, EncodeIco({{9, 5, 32, png}, {9, 5, 24, EncodeIconBitmap(9, 5, rgba, 24)}}),
            EncodeIco({{9, 5, 32, EncodeIconBitmap(9, 5, rgba, 32)}})};
}

std::vector<std::string> SpriteSheetSeeds() {
    return {"idle 0 0 64 64 32 60\nwalk 64 0 64 64 32 60\n", "@scale 2\nmain 0 0 32 32 16 16\n\n# comment\nshort 1 2 3\n",
            "a -1 -2 100000 0 -5 7\r\n@scale 0.5\r\n"};
}

std::vector<std::string> FntSeeds() {
    FntFont overrides = BoxFont(20);
    for (const char* c : {"(", ")", "[", "]", "#", "&nbsp;", "&quot;"}) overrides.glyphs.push_back({c, 1, 0, 10, 7, 0, 0, 6, 10});
    overrides.glyphMargin = 2;
    overrides.extraLines = "(settings (space_length 6) (line_spacing 2) (paragraph_spacing 4))\n";
    return {FntDescription(BoxFont(12)), FntDescription(overrides),
            "<font size='10'>\n<glyph page='0' x='1' y='9' advance='300' x0='20' y0='0' x1='0' y1='10'>\n<char c='W' g='0'>\n"};
}

// The glyph source target patches a real face: a seed is a 4-byte offset and the face's
// own bytes there, one per table, so that mutations start inside every table.
std::vector<std::string> FreeTypeSeeds() {
    std::ifstream in(kRealFace, std::ios::binary);
    const std::string face{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto word = [&](std::size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = 0; i < bytes && at + i < face.size(); ++i) value = value << 8 | static_cast<uint8_t>(face[at + i]);
        return value;
    };
    const auto patch = [&](uint32_t offset, std::size_t length) {
        std::string seed;
        for (int i = 0; i < 4; ++i) seed += static_cast<char>(offset >> (8 * i) & 255);
        return seed + face.substr(std::min<std::size_t>(offset, face.size()), length);
    };
    const uint32_t tables = word(4, 2);
    std::vector<std::string> seeds = {patch(0, 12 + 16 * tables)};
    for (uint32_t i = 0; i < tables; ++i) seeds.push_back(patch(word(12 + 16 * i + 8, 4), std::min<uint32_t>(word(12 + 16 * i + 12, 4), 2048)));
    return seeds;
}

std::vector<std::string> TheoraSeeds() {
    const TheoraVideoSpec cropped{.frameWidth = 32, .frameHeight = 32, .pictureWidth = 21, .pictureHeight = 13,
                                  .pictureX = 3, .pictureY = 5, .frames = 3};
    std::vector<std::string> seeds = {MakeOggWithoutTheora(), MakeTheoraVideo(cropped)};
    for (const int chroma : {420, 422, 444}) {
        const TheoraVideoSpec spec{.frameWidth = 16, .frameHeight = 16, .pictureWidth = 16, .pictureHeight = 16,
                                   .frames = 4, .chroma = chroma, .noisy = chroma != 420, .quality = 20};
        seeds.push_back(MakeTheoraVideo(spec));
    }
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    WriteSeeds(root / "pack", PackSeeds());
    WriteSeeds(root / "zip", ZipSeeds());
    WriteSeeds(root / "image", ImageSeeds());
    WriteSeeds(root / "dds", DdsSeeds());
    WriteSeeds(root / "spritesheet", SpriteSheetSeeds());
    WriteSeeds(root / "fnt", FntSeeds());
    WriteSeeds(root / "icon", IconSeeds());
    WriteSeeds(root / "collision_mask", ImageSeeds());
    WriteSeeds(root / "freetype", FreeTypeSeeds());
    WriteSeeds(root / "theora", TheoraSeeds());
    return 0;
}
