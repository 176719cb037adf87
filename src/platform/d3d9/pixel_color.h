#pragma once
// Per-pixel arithmetic on 0xAARRGGBB words: texture sampling, modulation, comparison and
// blending. Channels are 0..255; products are rounded divisions by 255, so white and
// opaque leave values exactly as they were.
#include <xmmintrin.h>

#include <cmath>
#include <cstdint>

#include "platform/d3d9/rasterizer.h"

#define VELK_HOT inline __attribute__((always_inline))

VELK_HOT uint32_t Div255(uint32_t x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }
VELK_HOT uint32_t Mul255(uint32_t a, uint32_t b) { return Div255(a * b); }
VELK_HOT uint32_t Channel(uint32_t argb, int k) { return (argb >> (8 * k)) & 0xFF; }

// Texel coordinates far outside any texture wrap or clamp the same; this keeps them in
// range (NaN becomes the low end).
VELK_HOT float ClampTexelCoord(float v) {
    constexpr float kLimit = 4194304.0f;
    return v < kLimit ? (v > -kLimit ? v : -kLimit) : kLimit;
}

VELK_HOT int AddressTexel(int i, int n, uint8_t mode) {
    if (mode == D3DTADDRESS_CLAMP) return i < 0 ? 0 : (i >= n ? n - 1 : i);
    if ((n & (n - 1)) == 0) return i & (n - 1);
    const int r = i % n;
    return r < 0 ? r + n : r;
}

VELK_HOT uint32_t FetchTexel(const SamplerView& s, int i, int j) {
    const int x = AddressTexel(i, s.width, s.addressU), y = AddressTexel(j, s.height, s.addressV);
    return s.texels[static_cast<size_t>(y) * s.pitch + x] | s.alphaOr;
}

// w 0..256: the weight of b.
VELK_HOT uint32_t Lerp(uint32_t a, uint32_t b, uint32_t w) {
    const uint32_t rb = (((a & 0xFF00FFu) * (256 - w) + (b & 0xFF00FFu) * w + 0x800080u) >> 8) & 0xFF00FFu;
    const uint32_t ag = (((a >> 8) & 0xFF00FFu) * (256 - w) + ((b >> 8) & 0xFF00FFu) * w + 0x800080u) & 0xFF00FF00u;
    return rb | ag;
}

// The four texels around a sample: t00, t10 on the upper row, t01, t11 below.
struct TexelQuad {
    uint32_t t00, t10, t01, t11;
};

VELK_HOT TexelQuad FetchQuad(const SamplerView& s, int i, int j) {
    if (static_cast<unsigned>(i) < static_cast<unsigned>(s.width - 1) &&
        static_cast<unsigned>(j) < static_cast<unsigned>(s.height - 1)) {
        const uint32_t* p = s.texels + static_cast<size_t>(j) * s.pitch + i;
        return {p[0] | s.alphaOr, p[1] | s.alphaOr, p[s.pitch] | s.alphaOr, p[s.pitch + 1] | s.alphaOr};
    }
    const int x0 = AddressTexel(i, s.width, s.addressU), x1 = AddressTexel(i + 1, s.width, s.addressU);
    const uint32_t* r0 = s.texels + static_cast<size_t>(AddressTexel(j, s.height, s.addressV)) * s.pitch;
    const uint32_t* r1 = s.texels + static_cast<size_t>(AddressTexel(j + 1, s.height, s.addressV)) * s.pitch;
    return {r0[x0] | s.alphaOr, r0[x1] | s.alphaOr, r1[x0] | s.alphaOr, r1[x1] | s.alphaOr};
}

// su, sv: texel coordinates minus one half, with 8 fractional bits.
VELK_HOT uint32_t SampleBilinear(const SamplerView& s, int su, int sv) {
    const uint32_t wu = su & 255, wv = sv & 255;
    const auto [t00, t10, t01, t11] = FetchQuad(s, su >> 8, sv >> 8);
    if ((wu | wv) == 0) return t00;
    // Down the columns first, then across: the order the vector path uses too.
    return Lerp(Lerp(t00, t01, wv), Lerp(t10, t11, wv), wu);
}

// s, t in texels: texel k covers [k, k + 1).
inline uint32_t Sample(const SamplerView& sampler, float s, float t, bool linear) {
    s = ClampTexelCoord(s);
    t = ClampTexelCoord(t);
    if (!linear) return FetchTexel(sampler, static_cast<int>(std::floor(s)), static_cast<int>(std::floor(t)));
    return SampleBilinear(sampler, static_cast<int>(std::floor(s * 256 - 127.5f)),
                          static_cast<int>(std::floor(t * 256 - 127.5f)));
}

VELK_HOT uint32_t Modulate(uint32_t a, uint32_t b) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) out |= Mul255(Channel(a, k), Channel(b, k)) << (8 * k);
    return out;
}

// colour: b, g, r, a channels times w, clamped to 0..255 (NaN to 0) and rounded to
// nearest even, as fmin, fmax and lrint would, without their library calls.
inline uint32_t PackColour(const float colour[4], float w) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        float v = colour[k] * w;
        v = v > 0.0f ? v : 0.0f;
        v = v < 255.0f ? v : 255.0f;
        out |= static_cast<uint32_t>(_mm_cvtss_si32(_mm_set_ss(v))) << (8 * k);
    }
    return out;
}

template <class T>
bool Compare(uint8_t func, T value, T reference) {
    switch (func) {
        case D3DCMP_NEVER: return false;
        case D3DCMP_LESS: return value < reference;
        case D3DCMP_EQUAL: return value == reference;
        case D3DCMP_LESSEQUAL: return value <= reference;
        case D3DCMP_GREATER: return value > reference;
        case D3DCMP_NOTEQUAL: return value != reference;
        case D3DCMP_GREATEREQUAL: return value >= reference;
        default: return true;
    }
}

// Divides two 16-bit lanes by 255, rounding.
VELK_HOT uint32_t Div255Lanes(uint32_t x) {
    x += 0x00800080u;
    return ((x + ((x >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

// SRCALPHA, INVSRCALPHA, ADD: the same result as Blend, two channels at a time.
VELK_HOT uint32_t BlendSrcAlpha(uint32_t src, uint32_t dst) {
    const uint32_t a = src >> 24;
    if (a == 255) return src;
    if (a == 0) return dst;
    const uint32_t ia = 255 - a;
    const uint32_t rb = Div255Lanes((src & 0xFF00FFu) * a + (dst & 0xFF00FFu) * ia);
    const uint32_t ag = Div255Lanes(((src >> 8) & 0xFF00FFu) * a + ((dst >> 8) & 0xFF00FFu) * ia);
    return rb | (ag << 8);
}

inline uint32_t BlendFactor(uint8_t factor, uint32_t sc, uint32_t sa, uint32_t dc, uint32_t da) {
    switch (factor) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_SRCCOLOR: return sc;
        case D3DBLEND_INVSRCCOLOR: return 255 - sc;
        case D3DBLEND_SRCALPHA: return sa;
        case D3DBLEND_INVSRCALPHA: return 255 - sa;
        case D3DBLEND_DESTALPHA: return da;
        case D3DBLEND_INVDESTALPHA: return 255 - da;
        case D3DBLEND_DESTCOLOR: return dc;
        case D3DBLEND_INVDESTCOLOR: return 255 - dc;
        default: return 255;  // ONE
    }
}

inline uint32_t Blend(uint32_t src, uint32_t dst, uint8_t srcFactor, uint8_t dstFactor, uint8_t op) {
    const uint32_t sa = src >> 24, da = dst >> 24;
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        const uint32_t sc = Channel(src, k), dc = Channel(dst, k);
        const int s = static_cast<int>(sc * BlendFactor(srcFactor, sc, sa, dc, da));
        const int d = static_cast<int>(dc * BlendFactor(dstFactor, sc, sa, dc, da));
        uint32_t v;
        switch (op) {
            case D3DBLENDOP_MIN: v = sc < dc ? sc : dc; break;
            case D3DBLENDOP_MAX: v = sc > dc ? sc : dc; break;
            default: {
                const int sum = op == D3DBLENDOP_SUBTRACT ? s - d : op == D3DBLENDOP_REVSUBTRACT ? d - s : s + d;
                v = Div255(static_cast<uint32_t>(sum < 0 ? 0 : (sum > 65025 ? 65025 : sum)));
            }
        }
        out |= v << (8 * k);
    }
    return out;
}

// mask: red 1, green 2, blue 4, alpha 8.
inline uint32_t WriteMask(uint32_t out, uint32_t dst, uint8_t mask) {
    const uint32_t keep = ((mask & 1) ? 0x00FF0000u : 0) | ((mask & 2) ? 0x0000FF00u : 0) | ((mask & 4) ? 0xFFu : 0) |
                          ((mask & 8) ? 0xFF000000u : 0);
    return (out & keep) | (dst & ~keep);
}
