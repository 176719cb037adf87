// Conversion of surfaces to device pixel layouts, with optional 16-bit error diffusion.
#include <algorithm>
#include <array>
#include <cstring>

#include "graphics/surface.h"

namespace {

bool g_dither16Bit = false;

struct DitherTables {
    std::array<std::array<uint8_t, 256>, 9> level{};  // [bits][value]; 0 bits: level 0
    std::array<uint8_t, 256> half{}, quarter{};

    DitherTables() {
        for (int bits = 1; bits <= 8; ++bits)
            for (int v = 0; v < 256; ++v)
                level[bits][v] = static_cast<uint8_t>(255.0f / static_cast<float>(1 << bits) * static_cast<float>(v >> (8 - bits)));
        for (int e = 0; e < 256; ++e) {
            half[e] = static_cast<uint8_t>(e / 2);
            quarter[e] = static_cast<uint8_t>(e / 4);
        }
    }
};

const DitherTables& Tables() {
    static const DitherTables tables;
    return tables;
}

void AddSaturated(uint8_t& byte, uint8_t amount) { byte = static_cast<uint8_t>(std::min(byte + amount, 255)); }

// Diffuses the quantisation error of one byte channel (0 R, 1 G, 2 B, 3 A) over the pixels.
void DiffuseChannel(uint8_t* bytes, int width, int height, int channel, int bits) {
    const DitherTables& t = Tables();
    const auto at = [&](int x, int y) -> uint8_t& {
        return bytes[(static_cast<std::size_t>(y) * width + x) * 4 + channel];
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t value = at(x, y), quantised = t.level[bits][value];
            const int error = value - quantised;
            at(x, y) = quantised;
            if (x < width - 1) AddSaturated(at(x + 1, y), t.half[error]);
            if (y == height - 1) continue;
            if (x > 0) AddSaturated(at(x - 1, y + 1), t.quarter[error]);
            AddSaturated(at(x, y + 1), t.quarter[error]);
        }
    }
}

bool Is565(int kind) { return kind == kPixelsR5G6B5 || kind == kPixelsD3DR5G6B5; }
bool Is4444(int kind) { return kind == kPixelsR4G4B4A4 || kind == kPixelsA4R4G4B4; }

// The pixels to convert: a dithered copy when 16-bit dithering applies.
const uint8_t* SourceBytes(int kind, const Surface& surface, std::vector<uint32_t>& copy) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(surface.pixels);
    if (!g_dither16Bit || (!Is565(kind) && !Is4444(kind))) return bytes;
    copy.assign(surface.pixels, surface.pixels + surface.PixelCount());
    auto* work = reinterpret_cast<uint8_t*>(copy.data());
    // The 565 kinds have no alpha, so their alpha channel is left alone.
    const std::array<int, 4> bits = Is565(kind) ? std::array<int, 4>{5, 6, 5, 0} : std::array<int, 4>{4, 4, 4, 4};
    for (int channel = 0; channel < 4; ++channel)
        if (bits[channel] > 0) DiffuseChannel(work, surface.width, surface.height, channel, bits[channel]);
    return work;
}

void Store16(uint8_t* to, uint32_t word) {
    const uint16_t value = static_cast<uint16_t>(word);
    std::memcpy(to, &value, 2);
}

void ConvertPixel(int kind, const uint8_t* p, uint8_t* to) {
    const uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
    switch (kind) {
        case kPixelsRGB:
            to[0] = p[0], to[1] = p[1], to[2] = p[2];
            break;
        case kPixelsR5G6B5:
        case kPixelsD3DR5G6B5:
            Store16(to, (r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
            break;
        case kPixelsR4G4B4A4:
            Store16(to, (r >> 4) << 12 | (g >> 4) << 8 | (b >> 4) << 4 | a >> 4);
            break;
        case kPixelsA4R4G4B4:
            Store16(to, (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4);
            break;
        default:  // the BGRA kinds
            to[0] = p[2], to[1] = p[1], to[2] = p[0], to[3] = p[3];
            break;
    }
}

}  // namespace

void SetDithering16Bit(bool on) { g_dither16Bit = on; }
bool Dithering16Bit() { return g_dither16Bit; }

int SurfacePixelKindSize(int kind) {
    switch (kind) {
        case kPixelsRGB: return 3;
        case kPixelsR5G6B5:
        case kPixelsR4G4B4A4:
        case kPixelsD3DR5G6B5:
        case kPixelsA4R4G4B4: return 2;
        case kPixelsBGRA:
        case kPixelsBGRX: return 4;
        default: return 0;
    }
}

bool ConvertSurfacePixels(void* destination, int kind, const Surface& surface, int pitch) {
    const int size = SurfacePixelKindSize(kind);
    if (size == 0 || !destination) return false;
    if (!surface.pixels) return true;
    if (pitch <= 0) pitch = surface.width * size;
    std::vector<uint32_t> copy;
    const uint8_t* source = SourceBytes(kind, surface, copy);
    auto* rows = static_cast<uint8_t*>(destination);
    for (int y = 0; y < surface.height; ++y) {
        const uint8_t* from = source + static_cast<std::size_t>(y) * surface.width * 4;
        uint8_t* to = rows + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < surface.width; ++x, from += 4, to += size) ConvertPixel(kind, from, to);
    }
    return true;
}

std::vector<uint8_t> ConvertSurfacePixels(int kind, const Surface& surface) {
    const int size = SurfacePixelKindSize(kind);
    std::vector<uint8_t> out(surface.PixelCount() * static_cast<std::size_t>(size));
    if (size != 0) ConvertSurfacePixels(out.data(), kind, surface);
    return out;
}
