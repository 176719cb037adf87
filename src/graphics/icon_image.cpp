#include "graphics/icon_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kDirectoryEntry = 16;
constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kFileHeader = 14;
// Icons are 256 pixels at most; a far larger bitmap in an icon is a broken file.
constexpr int kLargestBitmap = 2048;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t ReadU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void AppendU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
}

bool Decode(const uint8_t* bytes, std::size_t size, DecodedImage& image) {
    return TryDecodeImage(bytes, size, image) != 0 && image.pixels;
}

std::size_t RowBytes(uint64_t width, unsigned bitCount) { return static_cast<std::size_t>((width * bitCount + 31) / 32 * 4); }

// Set bits of the 1-bit mask (rows bottom-up) make their pixels transparent.
void ApplyMask(const uint8_t* mask, DecodedImage& image) {
    const int width = image.width, height = image.height;
    const std::size_t row = RowBytes(width, 1);
    for (int y = 0; y < height; ++y) {
        const uint8_t* bits = mask + static_cast<std::size_t>(height - 1 - y) * row;
        for (int x = 0; x < width; ++x) {
            uint32_t& pixel = image.pixels[static_cast<std::size_t>(y) * width + x];
            pixel = (bits[x / 8] >> (7 - x % 8)) & 1 ? pixel & 0x00FFFFFFu : pixel | 0xFF000000u;
        }
    }
}

// An icon's bitmap: a BMP without its file header, twice as high as the image (the
// colours, then the mask), rows bottom-up.
bool DecodeIconBitmap(const uint8_t* dib, std::size_t size, DecodedImage& image) {
    if (size < kInfoHeader) return false;
    const uint32_t headerSize = ReadU32(dib);
    const auto width = static_cast<int32_t>(ReadU32(dib + 4));
    const auto doubleHeight = static_cast<int32_t>(ReadU32(dib + 8));
    const unsigned bitCount = ReadU16(dib + 14);
    const uint32_t compression = ReadU32(dib + 16);
    const uint32_t colorsUsed = ReadU32(dib + 32);
    if (headerSize < kInfoHeader || headerSize > size || compression != 0) return false;
    if (width <= 0 || width > kLargestBitmap || doubleHeight <= 0 || doubleHeight % 2 != 0 ||
        doubleHeight / 2 > kLargestBitmap)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return false;
    const int height = doubleHeight / 2;
    const uint32_t paletteSize = bitCount > 8 ? 0 : colorsUsed != 0 ? colorsUsed : 1u << bitCount;
    if (paletteSize > 256) return false;
    const std::size_t colours = headerSize + std::size_t{paletteSize} * 4;
    const std::size_t colourBytes = RowBytes(width, bitCount) * height;
    if (colours + colourBytes > size) return false;

    // The decoder reads it once it has a file header and the image's own height.
    std::string bmp = "BM";
    AppendU32(bmp, static_cast<uint32_t>(kFileHeader + colours + colourBytes));
    AppendU32(bmp, 0);
    AppendU32(bmp, static_cast<uint32_t>(kFileHeader + colours));
    const std::size_t heightAt = bmp.size() + 8;
    bmp.append(reinterpret_cast<const char*>(dib), colours + colourBytes);
    for (int i = 0; i < 4; ++i) bmp[heightAt + i] = static_cast<char>(static_cast<uint32_t>(height) >> (8 * i));
    if (!Decode(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size(), image) || image.width != width ||
        image.height != height)
        return false;

    // 32-bit colours carry their own alpha unless every alpha byte is zero.
    if (bitCount == 32) {
        const uint8_t* pixels = dib + colours;
        for (std::size_t i = 3; i < colourBytes; i += 4)
            if (pixels[i] != 0) return true;
    }
    if (colours + colourBytes + RowBytes(width, 1) * height <= size) ApplyMask(dib + colours + colourBytes, image);
    return true;
}

struct IcoEntry {
    uint64_t area;
    unsigned bitCount;
    std::size_t offset, size;
};

// Directory entries whose bytes lie within the file, largest (then deepest) first.
std::vector<IcoEntry> IcoEntries(const uint8_t* bytes, std::size_t size) {
    std::vector<IcoEntry> entries;
    const std::size_t count = ReadU16(bytes + 4);
    if (kDirectoryHeader + count * kDirectoryEntry > size) return entries;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes + kDirectoryHeader + i * kDirectoryEntry;
        const uint64_t width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
        const uint32_t length = ReadU32(entry + 8), offset = ReadU32(entry + 12);
        if (offset >= size || length > size - offset) continue;
        entries.push_back({width * height, ReadU16(entry + 6), offset, length});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const IcoEntry& a, const IcoEntry& b) {
        return a.area != b.area ? a.area > b.area : a.bitCount > b.bitCount;
    });
    return entries;
}

bool IsIco(const uint8_t* bytes, std::size_t size) {
    return size >= kDirectoryHeader && ReadU16(bytes) == 0 && ReadU16(bytes + 2) == 1 && ReadU16(bytes + 4) > 0;
}

bool IsPng(const uint8_t* bytes, std::size_t size) { return size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0; }

}  // namespace

bool DecodeIconImage(const uint8_t* bytes, std::size_t size, DecodedImage& image) {
    image = DecodedImage{};
    if (!bytes) return false;
    if (!IsIco(bytes, size)) return Decode(bytes, size, image);
    for (const IcoEntry& entry : IcoEntries(bytes, size)) {
        const uint8_t* data = bytes + entry.offset;
        if (IsPng(data, entry.size) ? Decode(data, entry.size, image) : DecodeIconBitmap(data, entry.size, image))
            return true;
        image = DecodedImage{};
    }
    return false;
}

bool LoadIconFile(const std::string& path, DecodedImage& image) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return DecodeIconImage(bytes.data(), bytes.size(), image);
}
