#include "platform/linux/icon_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

constexpr std::size_t kDirectoryHeader = 6;
constexpr std::size_t kDirectoryEntry = 16;
constexpr std::size_t kInfoHeader = 40;
constexpr std::size_t kFileHeader = 14;
// Icons are 256 pixels at most; a larger bitmap in an icon is a broken file.
constexpr int kLargestBitmapIcon = 1024;

uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t ReadU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void WriteU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(value >> (8 * i));
}

struct PixelsDeleter {
    void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

IconImage DecodeWithStb(const uint8_t* bytes, std::size_t size) {
    if (size == 0 || size > static_cast<std::size_t>(INT32_MAX)) return {};
    int width = 0, height = 0, channels = 0;
    const std::unique_ptr<stbi_uc, PixelsDeleter> pixels(
        stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 4));
    if (!pixels || width <= 0 || height <= 0) return {};
    const std::size_t count = static_cast<std::size_t>(width) * height * 4;
    return {width, height, std::vector<uint8_t>(pixels.get(), pixels.get() + count)};
}

bool IsPng(const uint8_t* bytes, std::size_t size) { return size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0; }

std::size_t RowBytes(uint64_t width, unsigned bitCount) { return static_cast<std::size_t>((width * bitCount + 31) / 32 * 4); }

// An icon's bitmap: a BMP without its file header, twice as high as the image (the
// colours, then a 1-bit mask whose set bits are transparent), rows bottom-up.
IconImage DecodeIconBitmap(const uint8_t* dib, std::size_t size) {
    if (size < kInfoHeader) return {};
    const uint32_t headerSize = ReadU32(dib);
    const auto width = static_cast<int32_t>(ReadU32(dib + 4));
    const auto doubleHeight = static_cast<int32_t>(ReadU32(dib + 8));
    const unsigned bitCount = ReadU16(dib + 14);
    const uint32_t compression = ReadU32(dib + 16);
    const uint32_t colorsUsed = ReadU32(dib + 32);
    if (headerSize < kInfoHeader || headerSize > size || compression != 0) return {};
    if (width <= 0 || width > kLargestBitmapIcon || doubleHeight <= 0 || doubleHeight % 2 != 0 ||
        doubleHeight / 2 > kLargestBitmapIcon)
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32) return {};
    const int height = doubleHeight / 2;
    const uint32_t paletteSize = bitCount > 8 ? 0 : colorsUsed != 0 ? colorsUsed : 1u << bitCount;
    if (paletteSize > 256) return {};
    const std::size_t colours = headerSize + std::size_t{paletteSize} * 4;
    const std::size_t colourBytes = RowBytes(width, bitCount) * height;
    if (colours + colourBytes > size) return {};

    // stb reads it once it has a file header and the image's own height.
    std::string bmp = "BM";
    WriteU32(bmp, static_cast<uint32_t>(kFileHeader + colours + colourBytes));
    WriteU32(bmp, 0);
    WriteU32(bmp, static_cast<uint32_t>(kFileHeader + colours));
    bmp.append(reinterpret_cast<const char*>(dib), colours + colourBytes);
    const std::size_t heightAt = kFileHeader + 8;
    for (int i = 0; i < 4; ++i) bmp[heightAt + i] = static_cast<char>(static_cast<uint32_t>(height) >> (8 * i));
    IconImage image = DecodeWithStb(reinterpret_cast<const uint8_t*>(bmp.data()), bmp.size());
    if (image.empty() || image.width != width || image.height != height) return {};

    // 32-bit colours carry their own alpha unless every alpha byte is zero.
    if (bitCount == 32) {
        const uint8_t* pixels = dib + colours;
        bool anyAlpha = false;
        for (std::size_t i = 3; i < colourBytes && !anyAlpha; i += 4) anyAlpha = pixels[i] != 0;
        if (anyAlpha) return image;
    }
    const std::size_t maskRow = RowBytes(width, 1);
    if (colours + colourBytes + maskRow * height > size) return image;  // no mask: opaque
    const uint8_t* mask = dib + colours + colourBytes;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = mask + static_cast<std::size_t>(height - 1 - y) * maskRow;
        for (int x = 0; x < width; ++x) {
            const bool clear = (row[x / 8] >> (7 - x % 8)) & 1;
            image.rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3] = clear ? 0 : 255;
        }
    }
    return image;
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

}  // namespace

IconImage DecodeIconImage(const uint8_t* bytes, std::size_t size) {
    if (!bytes || !IsIco(bytes, size)) return bytes ? DecodeWithStb(bytes, size) : IconImage{};
    for (const IcoEntry& entry : IcoEntries(bytes, size)) {
        const uint8_t* image = bytes + entry.offset;
        IconImage decoded = IsPng(image, entry.size) ? DecodeWithStb(image, entry.size) : DecodeIconBitmap(image, entry.size);
        if (!decoded.empty()) return decoded;
    }
    return {};
}
