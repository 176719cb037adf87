#include "graphics/dds_decoder.h"

#include <array>
#include <bit>
#include <cstring>

#include "graphics/image_loader.h"

namespace {

constexpr std::size_t kHeaderSize = 128;  // magic and header
constexpr uint32_t kFlagAlphaPixels = 0x1, kFlagFourCC = 0x4, kFlagRGB = 0x40;

uint32_t Read32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint32_t FourCC(const char* code) { return Read32(reinterpret_cast<const uint8_t*>(code)); }

uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; }

// 8-bit value of a masked field of any width.
uint32_t Field(uint32_t value, uint32_t mask) {
    if (mask == 0) return 255;
    const uint32_t field = (value & mask) >> std::countr_zero(mask), top = mask >> std::countr_zero(mask);
    return static_cast<uint32_t>(static_cast<uint64_t>(field) * 255 / top);
}

struct Header {
    int width, height;
    uint32_t flags, fourCC, bits, red, green, blue, alpha;
};

Header ReadHeader(const uint8_t* p) {
    return {static_cast<int>(Read32(p + 16)), static_cast<int>(Read32(p + 12)), Read32(p + 80), Read32(p + 84),
            Read32(p + 88), Read32(p + 92), Read32(p + 96), Read32(p + 100), Read32(p + 104)};
}

std::array<uint32_t, 4> BlockColours(const uint8_t* block, bool allowTransparent) {
    const auto expand = [](uint32_t c) {
        const uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
        return std::array<uint32_t, 3>{r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2};
    };
    const uint32_t c0 = block[0] | block[1] << 8, c1 = block[2] | block[3] << 8;
    const auto a = expand(c0), b = expand(c1);
    std::array<uint32_t, 4> colours{Pack(a[0], a[1], a[2], 255), Pack(b[0], b[1], b[2], 255), 0, 0};
    if (c0 > c1 || !allowTransparent) {
        colours[2] = Pack((2 * a[0] + b[0]) / 3, (2 * a[1] + b[1]) / 3, (2 * a[2] + b[2]) / 3, 255);
        colours[3] = Pack((a[0] + 2 * b[0]) / 3, (a[1] + 2 * b[1]) / 3, (a[2] + 2 * b[2]) / 3, 255);
    } else {
        colours[2] = Pack((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2, 255);
    }
    return colours;
}

std::array<uint32_t, 16> ExplicitAlpha(const uint8_t* block) {
    std::array<uint32_t, 16> alpha{};
    for (int i = 0; i < 16; ++i) alpha[i] = ((block[i / 2] >> (4 * (i % 2))) & 15) * 17;
    return alpha;
}

std::array<uint32_t, 16> InterpolatedAlpha(const uint8_t* block) {
    const uint32_t a0 = block[0], a1 = block[1];
    std::array<uint32_t, 8> levels{a0, a1};
    for (uint32_t i = 1; i <= 6; ++i)
        levels[i + 1] = a0 > a1 ? ((7 - i) * a0 + i * a1) / 7 : i <= 4 ? ((5 - i) * a0 + i * a1) / 5 : (i == 5 ? 0 : 255);
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= static_cast<uint64_t>(block[2 + i]) << (8 * i);
    std::array<uint32_t, 16> alpha{};
    for (int i = 0; i < 16; ++i) alpha[i] = levels[(bits >> (3 * i)) & 7];
    return alpha;
}

void DecodeBlocks(const uint8_t* data, uint32_t fourCC, DecodedImage& out) {
    const bool dxt1 = fourCC == FourCC("DXT1");
    const std::size_t blockSize = dxt1 ? 8 : 16;
    const int blocksWide = (out.width + 3) / 4, blocksHigh = (out.height + 3) / 4;
    for (int by = 0; by < blocksHigh; ++by) {
        for (int bx = 0; bx < blocksWide; ++bx, data += blockSize) {
            const uint8_t* colour = dxt1 ? data : data + 8;
            const auto colours = BlockColours(colour, dxt1);
            std::array<uint32_t, 16> alpha{};
            if (!dxt1) alpha = fourCC == FourCC("DXT3") ? ExplicitAlpha(data) : InterpolatedAlpha(data);
            const uint32_t indices = Read32(colour + 4);
            for (int i = 0; i < 16; ++i) {
                const int x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x >= out.width || y >= out.height) continue;
                uint32_t pixel = colours[(indices >> (2 * i)) & 3];
                if (!dxt1) pixel = (pixel & 0x00FFFFFFu) | alpha[i] << 24;
                out.pixels[static_cast<std::size_t>(y) * out.width + x] = pixel;
            }
        }
    }
}

void DecodeMasked(const uint8_t* data, const Header& h, bool alpha, DecodedImage& out) {
    const std::size_t bytes = h.bits / 8;
    for (std::size_t i = 0; i < static_cast<std::size_t>(out.width) * out.height; ++i, data += bytes) {
        uint32_t value = 0;
        std::memcpy(&value, data, bytes);
        out.pixels[i] = Pack(Field(value, h.red), Field(value, h.green), Field(value, h.blue),
                             alpha ? Field(value, h.alpha) : 255);
    }
}

}  // namespace

bool IsDdsFile(const uint8_t* buffer, std::size_t size) { return size >= 4 && std::memcmp(buffer, "DDS ", 4) == 0; }

void ReadDdsSize(const uint8_t* buffer, std::size_t size, long long& width, long long& height) {
    const bool whole = IsDdsFile(buffer, size) && size >= kHeaderSize;
    width = whole ? Read32(buffer + 16) : 0;
    height = whole ? Read32(buffer + 12) : 0;
}

int DecodeDds(const uint8_t* buffer, std::size_t size, DecodedImage& output) {
    if (!IsDdsFile(buffer, size) || size < kHeaderSize) return 0;
    const Header h = ReadHeader(buffer);
    if (h.width < 1 || h.height < 1 || h.width > kMaxImageSide || h.height > kMaxImageSide) return 0;
    const uint64_t w = static_cast<uint64_t>(h.width), ht = static_cast<uint64_t>(h.height);
    uint64_t needed = 0;
    const bool compressed = (h.flags & kFlagFourCC) != 0;
    if (compressed) {
        if (h.fourCC != FourCC("DXT1") && h.fourCC != FourCC("DXT3") && h.fourCC != FourCC("DXT5")) return 0;
        needed = ((w + 3) / 4) * ((ht + 3) / 4) * (h.fourCC == FourCC("DXT1") ? 8 : 16);
    } else {
        if (!(h.flags & kFlagRGB) || (h.bits != 16 && h.bits != 24 && h.bits != 32)) return 0;
        needed = w * ht * (h.bits / 8);
    }
    if (needed > size - kHeaderSize) return 0;
    const bool alpha = compressed || ((h.flags & kFlagAlphaPixels) && h.alpha != 0);
    output.width = h.width;
    output.height = h.height;
    output.hasAlpha = alpha;
    output.pixels = std::make_unique<uint32_t[]>(w * ht);
    if (compressed)
        DecodeBlocks(buffer + kHeaderSize, h.fourCC, output);
    else
        DecodeMasked(buffer + kHeaderSize, h, alpha, output);
    return alpha ? 4 : 3;
}
