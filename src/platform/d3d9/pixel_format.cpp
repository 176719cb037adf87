#include "platform/d3d9/pixel_format.h"

#include <cstring>

D3DFORMAT StoredFormat(D3DFORMAT requested) {
    switch (requested) {
        case D3DFMT_R8G8B8:
            return D3DFMT_X8R8G8B8;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_R5G6B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_D16:
        case D3DFMT_D24X8:
            return requested;
        default:
            return D3DFMT_UNKNOWN;
    }
}

bool IsDepthFormat(D3DFORMAT format) { return format == D3DFMT_D16 || format == D3DFMT_D24X8; }

int BytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R5G6B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_D16:
            return 2;
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_D24X8:
            return 4;
        default:
            return 0;
    }
}

namespace {

uint32_t Expand(uint32_t value, int bits) { return value * 255 / ((1u << bits) - 1); }
uint32_t Reduce(uint32_t value, int bits) { return (value * ((1u << bits) - 1) + 127) / 255; }

uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

}  // namespace

uint32_t LoadPixel(const uint8_t* p, D3DFORMAT format) {
    if (BytesPerPixel(format) == 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return format == D3DFMT_X8R8G8B8 ? (v | 0xFF000000u) : v;
    }
    uint16_t w;
    std::memcpy(&w, p, 2);
    if (format == D3DFMT_R5G6B5)
        return 0xFF000000u | Expand(w >> 11, 5) << 16 | Expand((w >> 5) & 63, 6) << 8 | Expand(w & 31, 5);
    return Expand(w >> 12, 4) << 24 | Expand((w >> 8) & 15, 4) << 16 | Expand((w >> 4) & 15, 4) << 8 |
           Expand(w & 15, 4);
}

void StorePixel(uint8_t* p, D3DFORMAT format, uint32_t argb) {
    if (BytesPerPixel(format) == 4) {
        const uint32_t v = format == D3DFMT_X8R8G8B8 ? (argb | 0xFF000000u) : argb;
        std::memcpy(p, &v, 4);
        return;
    }
    uint16_t w;
    if (format == D3DFMT_R5G6B5)
        w = static_cast<uint16_t>(Reduce(Channel(argb, 16), 5) << 11 | Reduce(Channel(argb, 8), 6) << 5 |
                                  Reduce(Channel(argb, 0), 5));
    else
        w = static_cast<uint16_t>(Reduce(Channel(argb, 24), 4) << 12 | Reduce(Channel(argb, 16), 4) << 8 |
                                  Reduce(Channel(argb, 8), 4) << 4 | Reduce(Channel(argb, 0), 4));
    std::memcpy(p, &w, 2);
}
