// The span functions. The fast ones cover 2D sprites (affine, one colour, a 32-bit target,
// at most source-alpha blending) stepped in 32.32 fixed point; the generic ones cover every
// state, perspective included, in floating point.
#include <algorithm>
#include <cmath>

#include "platform/d3d9/pixel_color.h"
#include "platform/d3d9/pixel_format.h"
#include "platform/d3d9/pixel_vector.h"
// GCC 12 takes the 512-bit intrinsics' deliberately undefined operands for uninitialised ones.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#include "platform/d3d9/triangle.h"

namespace {

using RowFunction = void (*)(const SpanContext& c, int y, int xl, int xr);

// A span function from one that draws a row.
template <RowFunction Row>
void EachRow(const SpanContext& c, const RowSpans& rows) {
    for (int i = 0; i < rows.count; ++i)
        if (rows.xl[i] <= rows.xr[i]) Row(c, rows.y0 + i, rows.xl[i], rows.xr[i]);
}

uint32_t TargetAlpha(const RenderTargetView& target) {
    return target.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
}

uint32_t* TargetRow32(const RenderTargetView& target, int y) {
    return reinterpret_cast<uint32_t*>(target.bits + static_cast<size_t>(y) * target.pitch);
}

void SolidSpan(const SpanContext& c, int y, int xl, int xr) {
    uint32_t* row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const uint32_t colour = c.tri.flat;
    if (c.state.blend) {
        for (int x = xl; x <= xr; ++x) row[x] = BlendSrcAlpha(colour, row[x]) | alpha;
    } else {
        std::fill(row + xl, row + xr + 1, colour | alpha);
    }
}

// 32.32 fixed point of a texel coordinate, as the bits of a signed value.
uint64_t ToFix32(double v) {
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<double>(ClampTexelCoord(static_cast<float>(v))) * 4294967296.0));
}

// bias: added to every value.
FixedPlane ToFixed(const Triangle& t, const Plane& p, double bias) {
    return {ToFix32(p.base - double{p.dx} * t.ox - double{p.dy} * t.oy + bias), ToFix32(p.dx), ToFix32(p.dy)};
}

// Unsigned, so absurd texture coordinates wrap instead of overflowing; the low 32 bits of
// the shifted value are the same as with signed arithmetic.
struct FastStepper {
    uint64_t s, u, ds, du;  // s and u already carry the rounding to 8 fractional bits

    static FastStepper At(const Triangle& t, int x, int y) {
        constexpr uint64_t kRound = 1u << 23;
        return {t.fixedS.At(x, y) + kRound, t.fixedT.At(x, y) + kRound, t.fixedS.dx, t.fixedT.dx};
    }

    // Texel coordinates minus one half with 8 fractional bits, then one pixel on.
    int NextS() { return Take(s, ds); }
    int NextU() { return Take(u, du); }

private:
    static int Take(uint64_t& v, uint64_t step) {
        const uint64_t now = v;
        v += step;
        return static_cast<int>(static_cast<uint32_t>(now >> 24));
    }
};

template <bool Blend, bool White>
VELK_HOT __m128i ShadeLanes(__m128i src, __m128i colour, __m128i dst) {
    if constexpr (!White) src = ModulateLanes(src, colour);
    if constexpr (Blend) src = BlendSrcAlphaLanes(src, dst);
    return src;
}

// Filtered texels, two pixels at a time. Transparent samples are blended like any other
// (they leave the pixel as it was): testing for them costs more in mispredicted branches
// than it saves.
template <bool Blend, bool White>
void FastLinearSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;  // a copy the target's stores cannot alias
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const __m128i colour = WidenTwice(t.flat);
    FastStepper step = FastStepper::At(t, xl, y);
    int x = xl;
    for (; x < xr; x += 2) {
        const int sa = step.NextS(), va = step.NextU(), sb = step.NextS(), vb = step.NextU();
        const TexelRows a = FetchRows(sampler, sa >> 8, va >> 8), b = FetchRows(sampler, sb >> 8, vb >> 8);
        const __m128i src = BilinearPair(a, b, sa & 255, va & 255, sb & 255, vb & 255);
        StorePair(row + x, ShadeLanes<Blend, White>(src, colour, Blend ? LoadPair(row + x) : src), alpha);
    }
    if (x == xr) {
        const int sa = step.NextS(), va = step.NextU();
        const TexelRows a = FetchRows(sampler, sa >> 8, va >> 8);
        const __m128i src = BilinearLanes(a, sa & 255, va & 255);
        row[x] = Narrow(ShadeLanes<Blend, White>(src, colour, Blend ? Widen(row[x]) : src)) | alpha;
    }
}

// The same four pixels at a time in 256-bit registers, on processors that have them; each
// lane rounds as in the functions above, so the pixels are the same.
#define VELK_WIDE __attribute__((target("avx2")))
#define VELK_WIDE_HOT inline __attribute__((always_inline, target("avx2")))

// 16-bit lanes a + round((b - a) * w / 256) with negWeight = -128 * w, w 0..256: exactly
// (a * (256 - w) + b * w + 128) >> 8, in three operations.
VELK_WIDE_HOT __m256i LerpScaled(__m256i a, __m256i b, __m256i negWeight) {
    return _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_sub_epi16(a, b), negWeight));
}

// LerpScaled's weight from w, 0..256.
VELK_WIDE_HOT __m256i ScaledWeight(__m256i w) { return _mm256_sub_epi16(_mm256_setzero_si256(), _mm256_slli_epi16(w, 7)); }

// Rounded x / 255, x up to 65025: (t + (t >> 8)) >> 8 for t = x + 128 is (t * 257) >> 16.
VELK_WIDE_HOT __m256i Div255Wide(__m256i x) {
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// SRCALPHA, INVSRCALPHA, ADD: dst * 255 + (src - dst) * a, one multiply; the sum fits 16 bits,
// so it is the same modulo 2^16 whatever the intermediate wrap.
VELK_WIDE_HOT __m256i BlendSrcAlphaWide(__m256i src, __m256i dst) {
    const __m256i alpha = _mm256_shuffle_epi8(src, _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6,
                                                                     7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15));
    const __m256i dst255 = _mm256_sub_epi16(_mm256_slli_epi16(dst, 8), dst);
    return Div255Wide(_mm256_add_epi16(dst255, _mm256_mullo_epi16(_mm256_sub_epi16(src, dst), alpha)));
}

// Two pixels' texel pairs side by side in each 128-bit half: a and b low, c and d high.
VELK_WIDE_HOT __m256i Side(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(a, b)), _mm_unpacklo_epi64(c, d), 1);
}

// Four filtered samples a, b, c, d as 16-bit lanes, in order. weights: the 8-bit fractions
// of the four samples in 16-bit words, across then down.
VELK_WIDE_HOT __m256i BilinearWide(const TexelRows (&rows)[4], uint64_t across, uint64_t down) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i upper = Side(rows[0].upper, rows[1].upper, rows[2].upper, rows[3].upper);
    const __m256i lower = Side(rows[0].lower, rows[1].lower, rows[2].lower, rows[3].lower);
    // Words 0..3 of the weights spread over lanes: a and c (down), b and d (down), and
    // a, b | c, d (across).
    const __m256i downs = _mm256_broadcastq_epi64(_mm_cvtsi64_si128(static_cast<long long>(down)));
    const __m256i acrosses = _mm256_broadcastq_epi64(_mm_cvtsi64_si128(static_cast<long long>(across)));
    const __m256i pickAC = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5, 4, 5,
                                            4, 5, 4, 5, 4, 5);
    const __m256i pickBD = _mm256_add_epi8(pickAC, _mm256_set1_epi8(2));
    const __m256i pickPairs = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 2, 3, 2, 3, 2, 3, 2, 3, 4, 5, 4, 5, 4, 5, 4, 5, 6,
                                               7, 6, 7, 6, 7, 6, 7);
    // Down the columns: a's and c's texels in the low 64 bits of each half, b's and d's high.
    const __m256i ac = LerpScaled(_mm256_unpacklo_epi8(upper, zero), _mm256_unpacklo_epi8(lower, zero),
                                  ScaledWeight(_mm256_shuffle_epi8(downs, pickAC)));
    const __m256i bd = LerpScaled(_mm256_unpackhi_epi8(upper, zero), _mm256_unpackhi_epi8(lower, zero),
                                  ScaledWeight(_mm256_shuffle_epi8(downs, pickBD)));
    // Then across: left columns against right columns.
    return LerpScaled(_mm256_unpacklo_epi64(ac, bd), _mm256_unpackhi_epi64(ac, bd),
                      ScaledWeight(_mm256_shuffle_epi8(acrosses, pickPairs)));
}

// Four pixels from step on, shaded over dst (four target pixels), packed.
template <bool Blend, bool White>
VELK_WIDE_HOT __m128i WideGroup(const SamplerView& sampler, FastStepper& step, __m256i colour, __m128i dst) {
    TexelRows rows[4];
    uint64_t across = 0, down = 0;
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        const int s = step.NextS(), u = step.NextU();
        rows[k] = FetchRows(sampler, s >> 8, u >> 8);
        across |= static_cast<uint64_t>(s & 255) << (16 * k);
        down |= static_cast<uint64_t>(u & 255) << (16 * k);
    }
    __m256i src = BilinearWide(rows, across, down);
    if constexpr (!White) src = Div255Wide(_mm256_mullo_epi16(src, colour));
    if constexpr (Blend) src = BlendSrcAlphaWide(src, _mm256_cvtepu8_epi16(dst));
    return _mm_packus_epi16(_mm256_castsi256_si128(src), _mm256_extracti128_si256(src, 1));
}

// A row's last group is the four pixels that end it, whatever the groups before covered:
// its target pixels are read before any is drawn, so where it overlaps the group before,
// both draw the same values. A row ends without a loop over its odd pixels, and without
// the branch misses of one.
template <bool Blend, bool White>
VELK_WIDE void WideLinearSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;  // a copy the target's stores cannot alias
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    if (xr - xl < 3) {
        FastLinearSpan<Blend, White>(c, y, xl, xr);
        return;
    }
    const __m256i colour = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(t.flat)));
    const __m128i alphas = _mm_set1_epi32(static_cast<int>(alpha));
    __m128i* const lastOut = reinterpret_cast<__m128i*>(row + xr - 3);
    const __m128i lastDst = _mm_loadu_si128(lastOut);
    FastStepper step = FastStepper::At(t, xl, y);
    for (int x = xl; x < xr - 3; x += 4) {
        __m128i* const out = reinterpret_cast<__m128i*>(row + x);
        _mm_storeu_si128(out, _mm_or_si128(WideGroup<Blend, White>(sampler, step, colour, _mm_loadu_si128(out)), alphas));
    }
    FastStepper last = FastStepper::At(t, xr - 3, y);
    _mm_storeu_si128(lastOut, _mm_or_si128(WideGroup<Blend, White>(sampler, last, colour, lastDst), alphas));
}

// Clamped textures at least 2 x 2 texels, eight pixels at a time. Each sample reads two
// texel pairs at a column clamped to 0..width-2 and a row clamped to 0..height-2; where the
// sample lies past an edge its weight becomes 0 or 256, which gives the edge texel as the
// clamped definition does. Coordinates and weights stay in vector registers.

// The texel coordinates with 8 fractional bits of pixels 0-3 (lo) and 4-7 (hi), from 32.32
// fixed point in 64-bit lanes, as eight 32-bit lanes in the order 0 4 1 5 2 6 3 7.
VELK_WIDE_HOT __m256i TakeEight(__m256i lo, __m256i hi) {
    return _mm256_blend_epi32(_mm256_srli_epi64(lo, 24), _mm256_slli_epi64(hi, 8), 0xAA);
}

struct ClampedAxis {
    __m256i first;   // the pair's first texel
    __m256i weight;  // -128 * the second texel's weight, in both halves of each lane
};

VELK_WIDE_HOT ClampedAxis ClampAxis(__m256i fixed, __m256i lastPair) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i first = _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(fixed, 8), zero), lastPair);
    // No overflow: first is above 0 only where fixed is at least first * 256.
    const __m256i weight = _mm256_min_epi32(_mm256_max_epi32(_mm256_sub_epi32(fixed, _mm256_slli_epi32(first, 8)), zero),
                                            _mm256_set1_epi32(256));
    return {first, _mm256_sub_epi16(zero, _mm256_mullo_epi32(weight, _mm256_set1_epi32(0x00800080)))};
}

struct ClampedTexels {
    const uint32_t* upper;  // the texels
    const uint32_t* lower;  // one row on
    __m256i pitch, lastColumn, lastRow;
    __m256i alphaOr;  // 16-bit lanes

    VELK_WIDE_HOT static ClampedTexels Of(const SamplerView& s) {
        return {s.texels, s.texels + s.pitch, _mm256_set1_epi32(s.pitch), _mm256_set1_epi32(s.width - 2),
                _mm256_set1_epi32(s.height - 2), _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(s.alphaOr)))};
    }
};

// The texel pairs at p + i and p + j in 16-bit lanes.
VELK_WIDE_HOT __m256i TexelPairs(const uint32_t* p, uint32_t i, uint32_t j) {
    const __m128 low = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i)));
    return _mm256_cvtepu8_epi16(_mm_castps_si128(_mm_loadh_pi(low, reinterpret_cast<const __m64*>(p + j))));
}

// Two samples down their columns: [a.left a.right | b.left b.right].
VELK_WIDE_HOT __m256i DownPair(const ClampedTexels& tex, uint32_t a, uint32_t b, __m256i weight) {
    return LerpScaled(TexelPairs(tex.upper, a, b), TexelPairs(tex.lower, a, b), weight);
}

// Four samples from their columns v0 (pixels 0 and 2) and v1 (1 and 3) filtered across,
// shaded over the four target pixels under, in 16-bit lanes.
template <bool Blend, bool White>
VELK_WIDE_HOT __m256i ShadeFour(const ClampedTexels& tex, __m256i colour, __m256i v0, __m256i v1, __m256i weight,
                                __m128i under) {
    __m256i px = LerpScaled(_mm256_unpacklo_epi64(v0, v1), _mm256_unpackhi_epi64(v0, v1), weight);
    // Forcing alpha after filtering gives what forcing it on every texel gives: 255.
    px = _mm256_or_si256(px, tex.alphaOr);
    if constexpr (!White) px = Div255Wide(_mm256_mullo_epi16(px, colour));
    if constexpr (Blend) px = BlendSrcAlphaWide(px, _mm256_cvtepu8_epi16(under));
    return px;
}

// Eight pixels at the coordinates s and u (64-bit lanes, pixels 0-3 then 4-7) shaded over
// dst, packed; or, unless Eight, the first four of them (the others' coordinates unread).
template <bool Blend, bool White, bool Eight = true>
VELK_WIDE_HOT auto ClampedGroup(const ClampedTexels& tex, const __m256i (&s)[2], const __m256i (&u)[2],
                                __m256i colour, __m256i dst) {
    const ClampedAxis across = ClampAxis(TakeEight(s[0], s[1]), tex.lastColumn);
    const ClampedAxis down = ClampAxis(TakeEight(u[0], u[1]), tex.lastRow);
    alignas(32) uint32_t at[8];  // pixels 0 4 1 5 2 6 3 7, as the lanes above
    _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                       _mm256_add_epi32(_mm256_mullo_epi32(down.first, tex.pitch), across.first));
    // In that order, pixels 0 1 2 3 sit at lanes 0 2 of each half and 4 5 6 7 at lanes 1 3:
    // each register below takes its weights from within its halves. Then across, left
    // columns against right: pixels 0 1 | 2 3 and 4 5 | 6 7.
    const __m256i w = down.weight, a = across.weight;
    const __m256i low = ShadeFour<Blend, White>(tex, colour, DownPair(tex, at[0], at[4], _mm256_shuffle_epi32(w, 0x00)),
                              DownPair(tex, at[2], at[6], _mm256_shuffle_epi32(w, 0xAA)), _mm256_shuffle_epi32(a, 0xA0),
                              _mm256_castsi256_si128(dst));
    if constexpr (Eight) {
        const __m256i high = ShadeFour<Blend, White>(tex, colour, DownPair(tex, at[1], at[5], _mm256_shuffle_epi32(w, 0x55)),
                                   DownPair(tex, at[3], at[7], _mm256_shuffle_epi32(w, 0xFF)),
                                   _mm256_shuffle_epi32(a, 0xF5), _mm256_extracti128_si256(dst, 1));
        return _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8);
    } else {
        return _mm_packus_epi16(_mm256_castsi256_si128(low), _mm256_extracti128_si256(low, 1));
    }
}

VELK_WIDE_HOT __m256i Lanes64(uint64_t value) { return _mm256_set1_epi64x(static_cast<long long>(value)); }

// The fixed-point texel coordinates of eight pixels in a row, as 64-bit lanes of pixels
// 0-3 and 4-7.
struct EightCoords {
    __m256i offsetsS, offsetsU;  // 0..3 steps
    __m256i fourS, fourU, eightS, eightU;
    __m256i s[2], u[2];

    VELK_WIDE_HOT explicit EightCoords(const Triangle& t)
        : offsetsS(Offsets(t.fixedS.dx)), offsetsU(Offsets(t.fixedT.dx)), fourS(Lanes64(4 * t.fixedS.dx)),
          fourU(Lanes64(4 * t.fixedT.dx)), eightS(Lanes64(8 * t.fixedS.dx)), eightU(Lanes64(8 * t.fixedT.dx)) {}

    VELK_WIDE_HOT void Start(const Triangle& t, int x, int y) {
        const FastStepper at = FastStepper::At(t, x, y);
        s[0] = _mm256_add_epi64(Lanes64(at.s), offsetsS);
        s[1] = _mm256_add_epi64(s[0], fourS);
        u[0] = _mm256_add_epi64(Lanes64(at.u), offsetsU);
        u[1] = _mm256_add_epi64(u[0], fourU);
    }
    VELK_WIDE_HOT void Next() {
        for (int k = 0; k < 2; ++k) {
            s[k] = _mm256_add_epi64(s[k], eightS);
            u[k] = _mm256_add_epi64(u[k], eightU);
        }
    }

private:
    VELK_WIDE_HOT static __m256i Offsets(uint64_t step) {
        return _mm256_setr_epi64x(0, static_cast<long long>(step), static_cast<long long>(2 * step),
                                  static_cast<long long>(3 * step));
    }
};

// Rows of eight-pixel groups, and a last group of eight or four pixels that ends the row,
// whatever the groups before covered: its target pixels are read before any is drawn, so
// where it overlaps the group before, both draw the same values. Rows shorter than eight
// pixels read and write only their own pixels, through masks.
template <bool Blend, bool White>
VELK_WIDE void ClampedLinearSpan(const SpanContext& c, const RowSpans& rows) {
    const Triangle& t = c.tri;
    const ClampedTexels tex = ClampedTexels::Of(c.state.sampler);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(TargetAlpha(c.target)));
    const __m256i colour = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(t.flat)));
    const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    EightCoords at(t);
    for (int i = 0; i < rows.count; ++i) {
        const int y = rows.y0 + i, xl = rows.xl[i], xr = rows.xr[i], n = xr - xl + 1;
        if (n <= 0) continue;
        uint32_t* const row = TargetRow32(c.target, y);
        if (n < 8) {
            const __m256i keep = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), lane);
            int* const out = reinterpret_cast<int*>(row + xl);
            at.Start(t, xl, y);
            if (n <= 4) {
                const __m128i keep4 = _mm256_castsi256_si128(keep);
                const __m128i dst = Blend ? _mm_maskload_epi32(out, keep4) : _mm256_castsi256_si128(alpha);
                const __m128i px = ClampedGroup<Blend, White, false>(tex, at.s, at.u, colour, _mm256_castsi128_si256(dst));
                _mm_maskstore_epi32(out, keep4, _mm_or_si128(px, _mm256_castsi256_si128(alpha)));
            } else {
                const __m256i dst = Blend ? _mm256_maskload_epi32(out, keep) : alpha;
                _mm256_maskstore_epi32(out, keep, _mm256_or_si256(ClampedGroup<Blend, White>(tex, at.s, at.u, colour, dst), alpha));
            }
            continue;
        }
        const int tail = n % 8, lastX = tail <= 4 ? xr - 3 : xr - 7;
        uint32_t* const lastOut = row + lastX;
        const __m256i lastDst = !Blend || tail == 0 ? alpha
                                : tail <= 4 ? _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lastOut)))
                                            : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lastOut));
        at.Start(t, xl, y);
        for (int x = xl; x + 7 <= xr; x += 8) {
            __m256i* const out = reinterpret_cast<__m256i*>(row + x);
            const __m256i dst = Blend ? _mm256_loadu_si256(out) : alpha;
            _mm256_storeu_si256(out, _mm256_or_si256(ClampedGroup<Blend, White>(tex, at.s, at.u, colour, dst), alpha));
            at.Next();
        }
        if (tail == 0) continue;
        at.Start(t, lastX, y);
        if (tail <= 4) {
            const __m128i px = ClampedGroup<Blend, White, false>(tex, at.s, at.u, colour, lastDst);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lastOut), _mm_or_si128(px, _mm256_castsi256_si128(alpha)));
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(lastOut),
                                _mm256_or_si256(ClampedGroup<Blend, White>(tex, at.s, at.u, colour, lastDst), alpha));
        }
    }
}

// The same in 512-bit registers, on processors that have them: eight pixels a register
// with their four channels in 16-bit lanes, and every row's last group read and written
// through a mask, so rows of any length take one loop. The texel pairs are loaded one by
// one: a gather instruction takes longer here. The group's arithmetic is one long chain of
// latencies, so what shortens it (offsets moved out of the register, not through memory)
// pays more than what saves instructions.
#define VELK_WIDEST __attribute__((target("avx512f,avx512bw,avx512vl")))
#define VELK_WIDEST_HOT inline __attribute__((always_inline, target("avx512f,avx512bw,avx512vl")))

VELK_WIDEST_HOT __m512i LerpScaled(__m512i a, __m512i b, __m512i negWeight) {
    return _mm512_add_epi16(a, _mm512_mulhrs_epi16(_mm512_sub_epi16(a, b), negWeight));
}

VELK_WIDEST_HOT __m512i Div255Wide(__m512i x) {
    return _mm512_mulhi_epu16(_mm512_add_epi16(x, _mm512_set1_epi16(128)), _mm512_set1_epi16(257));
}

VELK_WIDEST_HOT __m512i BlendSrcAlphaWide(__m512i src, __m512i dst) {
    const __m512i alpha = _mm512_shuffle_epi8(src, _mm512_broadcast_i32x4(_mm_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15,
                                                                                        14, 15, 14, 15, 14, 15)));
    const __m512i dst255 = _mm512_sub_epi16(_mm512_slli_epi16(dst, 8), dst);
    return Div255Wide(_mm512_add_epi16(dst255, _mm512_mullo_epi16(_mm512_sub_epi16(src, dst), alpha)));
}

// The 512-bit path works in 64-bit lanes, one pixel each, from coordinates to texel
// offsets: no lane ever moves across, and the weights come out where the filter wants them.
struct WidestTexels {
    const uint32_t* upper;  // the texels
    const uint32_t* lower;  // one row on
    __m512i pitch, lastColumn, lastRow;
    __m512i alphaOr, colour;  // 16-bit lanes, one pixel a 64-bit lane

    VELK_WIDEST_HOT static WidestTexels Of(const SamplerView& s, uint32_t colour) {
        return {s.texels, s.texels + s.pitch, _mm512_set1_epi64(s.pitch), _mm512_set1_epi64(s.width - 2),
                _mm512_set1_epi64(s.height - 2), Widened(s.alphaOr), Widened(colour)};
    }

private:
    VELK_WIDEST_HOT static __m512i Widened(uint32_t argb) {
        return _mm512_cvtepu8_epi16(_mm256_set1_epi32(static_cast<int>(argb)));
    }
};

struct WidestAxis {
    __m512i first;   // the pair's first texel
    __m512i weight;  // -128 * the second texel's weight, in the low 16 bits
};

// fixed: 32.32 texel coordinates; their bits 24..55 are the coordinates with 8 fractional
// bits, as the other paths take them, here sign-extended. Clamped to the texture, the
// coordinate's pair starts at most at lastPair, with weight 256 on the edge texel there.
VELK_WIDEST_HOT WidestAxis ClampAxis(__m512i fixed, __m512i lastPair) {
    const __m512i zero = _mm512_setzero_si512(), high = _mm512_slli_epi64(fixed, 8);
    // The pair straight from the coordinate, not from the clamped one: the texel offsets,
    // which the loads wait on, come a step sooner.
    const __m512i first = _mm512_min_epi64(_mm512_max_epi64(_mm512_srai_epi64(high, 40), zero), lastPair);
    const __m512i clamped = _mm512_min_epi64(_mm512_max_epi64(_mm512_srai_epi64(high, 32), zero),
                                             _mm512_slli_epi64(_mm512_add_epi64(lastPair, _mm512_set1_epi64(1)), 8));
    // -128 * (clamped - 256 * first)
    return {first, _mm512_sub_epi64(_mm512_slli_epi64(first, 15), _mm512_slli_epi64(clamped, 7))};
}

// Each 64-bit lane's low 16 bits in all four of its 16-bit lanes.
VELK_WIDEST_HOT __m512i SpreadLow16(__m512i v) {
    return _mm512_shuffle_epi8(v, _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9)));
}

// The texel pairs at p + at[k] and p + at[k + 1], in that order.
VELK_WIDEST_HOT __m128i TwoPairs(const uint32_t* p, const uint64_t (&at)[8], int k) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + at[k])),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + at[k + 1])));
}

// The texel pairs at p + at[k], pixel k's in 64-bit lane k.
VELK_WIDEST_HOT __m512i TexelPairs(const uint32_t* p, const uint64_t (&at)[8]) {
    const __m256i low = _mm256_inserti128_si256(_mm256_castsi128_si256(TwoPairs(p, at, 0)), TwoPairs(p, at, 2), 1);
    const __m256i high = _mm256_inserti128_si256(_mm256_castsi128_si256(TwoPairs(p, at, 4)), TwoPairs(p, at, 6), 1);
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

// Eight pixels at the coordinates s and u (64-bit lanes) shaded over dst, packed. The even
// pixels' columns and the odd ones' are filtered apart, as the bytes widen, then across:
// each 128-bit lane an even pixel and the next, in order.
template <bool Blend, bool White>
VELK_WIDEST_HOT __m256i ClampedOctet(const WidestTexels& tex, __m512i s, __m512i u, __m256i dst) {
    const WidestAxis across = ClampAxis(s, tex.lastColumn);
    const WidestAxis down = ClampAxis(u, tex.lastRow);
    alignas(64) uint64_t at[8];
    _mm512_store_si512(at, _mm512_add_epi64(_mm512_mul_epu32(down.first, tex.pitch), across.first));
    const __m512i upper = TexelPairs(tex.upper, at), lower = TexelPairs(tex.lower, at);
    const __m512i zero = _mm512_setzero_si512(), w = SpreadLow16(down.weight);
    const __m512i even = LerpScaled(_mm512_unpacklo_epi8(upper, zero), _mm512_unpacklo_epi8(lower, zero),
                                    _mm512_unpacklo_epi64(w, w));
    const __m512i odd = LerpScaled(_mm512_unpackhi_epi8(upper, zero), _mm512_unpackhi_epi8(lower, zero),
                                   _mm512_unpackhi_epi64(w, w));
    __m512i px = LerpScaled(_mm512_unpacklo_epi64(even, odd), _mm512_unpackhi_epi64(even, odd), SpreadLow16(across.weight));
    px = _mm512_or_si512(px, tex.alphaOr);
    if constexpr (!White) px = Div255Wide(_mm512_mullo_epi16(px, tex.colour));
    if constexpr (Blend) px = BlendSrcAlphaWide(px, _mm512_cvtepu8_epi16(dst));
    return _mm512_cvtepi16_epi8(px);
}

// 0..7 steps.
VELK_WIDEST_HOT __m512i Steps(uint64_t step) {
    long long k[8];
    for (int i = 0; i < 8; ++i) k[i] = static_cast<long long>(i * step);
    return _mm512_loadu_si512(k);
}

template <bool Blend, bool White>
VELK_WIDEST void ClampedLinearSpanWidest(const SpanContext& c, const RowSpans& rows) {
    const Triangle& t = c.tri;
    const WidestTexels tex = WidestTexels::Of(c.state.sampler, t.flat);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(TargetAlpha(c.target)));
    const __m512i offsetsS = Steps(t.fixedS.dx), offsetsU = Steps(t.fixedT.dx);
    const __m512i eightS = _mm512_set1_epi64(static_cast<long long>(8 * t.fixedS.dx));
    const __m512i eightU = _mm512_set1_epi64(static_cast<long long>(8 * t.fixedT.dx));
    for (int i = 0; i < rows.count; ++i) {
        const int y = rows.y0 + i, xr = rows.xr[i];
        uint32_t* const row = TargetRow32(c.target, y);
        const FastStepper start = FastStepper::At(t, rows.xl[i], y);
        __m512i s = _mm512_add_epi64(_mm512_set1_epi64(static_cast<long long>(start.s)), offsetsS);
        __m512i u = _mm512_add_epi64(_mm512_set1_epi64(static_cast<long long>(start.u)), offsetsU);
        for (int x = rows.xl[i]; x <= xr; x += 8) {
            const __mmask8 keep = static_cast<__mmask8>((1u << std::min(xr - x + 1, 8)) - 1);
            uint32_t* const out = row + x;
            const __m256i dst = Blend ? _mm256_maskz_loadu_epi32(keep, out) : alpha;
            _mm256_mask_storeu_epi32(out, keep, _mm256_or_si256(ClampedOctet<Blend, White>(tex, s, u, dst), alpha));
            s = _mm512_add_epi64(s, eightS);
            u = _mm512_add_epi64(u, eightU);
        }
    }
}

// The widest registers the processor has for the spans: 128, 256 or 512 bits. Initialised
// before main, maybe before the compiler's own processor detection has run.
int WidestRegisters() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl"))
        return 512;
    return __builtin_cpu_supports("avx2") ? 256 : 128;
}

const int g_widestRegisters = WidestRegisters();
int g_spanRegisters = g_widestRegisters;

SpanFunction WideSpanFor(bool blend, bool white) {
    if (blend) return white ? EachRow<WideLinearSpan<true, true>> : EachRow<WideLinearSpan<true, false>>;
    return white ? EachRow<WideLinearSpan<false, true>> : EachRow<WideLinearSpan<false, false>>;
}

SpanFunction ClampedSpanFor(bool blend, bool white) {
    if (g_spanRegisters >= 512) {
        if (blend) return white ? ClampedLinearSpanWidest<true, true> : ClampedLinearSpanWidest<true, false>;
        return white ? ClampedLinearSpanWidest<false, true> : ClampedLinearSpanWidest<false, false>;
    }
    if (blend) return white ? ClampedLinearSpan<true, true> : ClampedLinearSpan<true, false>;
    return white ? ClampedLinearSpan<false, true> : ClampedLinearSpan<false, false>;
}

// Clamped both ways, with a pair of texels each way, and texel offsets that fit 32 bits.
bool ClampsPairs(const SamplerView& s) {
    return s.addressU == D3DTADDRESS_CLAMP && s.addressV == D3DTADDRESS_CLAMP && s.width >= 2 && s.height >= 2 &&
           int64_t{s.height} * s.pitch < (int64_t{1} << 31);
}

// Texels 1:1.
template <bool Blend, bool White>
void FastPointSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const __m128i colour = WidenTwice(t.flat);
    uint64_t s = t.fixedS.At(xl, y), u = t.fixedT.At(xl, y);
    const uint64_t ds = t.fixedS.dx, du = t.fixedT.dx;
    for (int x = xl; x <= xr; ++x, s += ds, u += du) {
        const uint32_t texel = FetchTexel(sampler, static_cast<int>(static_cast<uint32_t>(s >> 32)),
                                          static_cast<int>(static_cast<uint32_t>(u >> 32)));
        if (Blend && (texel >> 24) == 0) continue;
        row[x] = Narrow(ShadeLanes<Blend, White>(Widen(texel), colour, Blend ? Widen(row[x]) : colour)) | alpha;
    }
}

// Four texels shaded over dst (four target pixels), packed; a clear texel leaves its pixel
// as it was, as FastPointSpan skips it.
template <bool Blend, bool White>
VELK_WIDE_HOT __m128i PointGroup(const uint32_t* texels, __m128i alphaOr, __m256i colour, __m128i targetAlpha,
                                 __m128i dst) {
    const __m128i texel = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(texels)), alphaOr);
    __m256i src = _mm256_cvtepu8_epi16(texel);
    if constexpr (!White) src = Div255Wide(_mm256_mullo_epi16(src, colour));
    if constexpr (Blend) src = BlendSrcAlphaWide(src, _mm256_cvtepu8_epi16(dst));
    const __m128i out =
        _mm_or_si128(_mm_packus_epi16(_mm256_castsi256_si128(src), _mm256_extracti128_si256(src, 1)), targetAlpha);
    if constexpr (!Blend) return out;
    return _mm_blendv_epi8(out, dst, _mm_cmpeq_epi32(_mm_srli_epi32(texel, 24), _mm_setzero_si128()));
}

// Texels 1:1 along rows (one texel a pixel, stepping right along one texel row, as an
// unscaled, unrotated sprite has them): a row that lies inside the texture reads four
// texels a load. Other rows, and short ones, go pixel by pixel.
template <bool Blend, bool White>
VELK_WIDE void WidePointSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;
    const int s = static_cast<int>(static_cast<uint32_t>(t.fixedS.At(xl, y) >> 32));
    const int u = static_cast<int>(static_cast<uint32_t>(t.fixedT.At(xl, y) >> 32));
    if (xr - xl < 3 || s < 0 || int64_t{s} + (xr - xl) >= sampler.width || u < 0 || u >= sampler.height) {
        FastPointSpan<Blend, White>(c, y, xl, xr);
        return;
    }
    const uint32_t* const texels = sampler.texels + static_cast<size_t>(u) * sampler.pitch + s - xl;
    uint32_t* const row = TargetRow32(c.target, y);
    const __m256i colour = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(t.flat)));
    const __m128i alphaOr = _mm_set1_epi32(static_cast<int>(sampler.alphaOr));
    const __m128i targetAlpha = _mm_set1_epi32(static_cast<int>(TargetAlpha(c.target)));
    // The last group ends the row, read before any is drawn, as in WideLinearSpan.
    __m128i* const lastOut = reinterpret_cast<__m128i*>(row + xr - 3);
    const __m128i lastDst = _mm_loadu_si128(lastOut);
    for (int x = xl; x < xr - 3; x += 4) {
        __m128i* const out = reinterpret_cast<__m128i*>(row + x);
        _mm_storeu_si128(out, PointGroup<Blend, White>(texels + x, alphaOr, colour, targetAlpha, _mm_loadu_si128(out)));
    }
    _mm_storeu_si128(lastOut, PointGroup<Blend, White>(texels + xr - 3, alphaOr, colour, targetAlpha, lastDst));
}

template <bool Linear, bool Blend, bool White>
void FastSpan(const SpanContext& c, int y, int xl, int xr) {
    if constexpr (Linear)
        FastLinearSpan<Blend, White>(c, y, xl, xr);
    else
        FastPointSpan<Blend, White>(c, y, xl, xr);
}

template <bool Linear>
SpanFunction FastSpanFor(bool blend, bool white) {
    if (blend) return white ? EachRow<FastSpan<Linear, true, true>> : EachRow<FastSpan<Linear, true, false>>;
    return white ? EachRow<FastSpan<Linear, false, true>> : EachRow<FastSpan<Linear, false, false>>;
}

template <bool Perspective>
void GenericSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const DrawState& st = c.state;
    const RenderTargetView& target = c.target;
    const int bpp = BytesPerPixel(target.format);
    uint8_t* row = target.bits + static_cast<size_t>(y) * target.pitch;
    float* depthRow = st.depthTest && target.depth ? target.depth + static_cast<size_t>(y) * target.depthPitch : nullptr;
    float q = t.At(t.q, xl, y), s = t.At(t.s, xl, y), tc = t.At(t.t, xl, y), z = t.At(t.z, xl, y);
    float col[4];
    for (int k = 0; k < 4; ++k) col[k] = t.At(t.colour[k], xl, y);
    for (int x = xl; x <= xr; ++x) {
        const float w = Perspective ? 1.0f / q : 1.0f;
        const uint32_t colour = t.flatColour ? t.flat : PackColour(col, w);
        const uint32_t texel = st.textured ? Sample(st.sampler, s * w, tc * w, t.linear) : 0xFFFFFFFFu;
        const uint32_t src = Modulate(texel, colour);
        bool visible = !st.alphaTest || Compare(st.alphaFunc, src >> 24, uint32_t{st.alphaRef});
        if (visible && depthRow) {
            visible = Compare(st.depthFunc, z, depthRow[x]);
            if (visible && st.depthWrite) depthRow[x] = z;
        }
        if (visible) {
            uint8_t* p = row + static_cast<size_t>(x) * bpp;
            const uint32_t dst = LoadPixel(p, target.format);
            const uint32_t out = st.blend ? Blend(src, dst, st.srcBlend, st.dstBlend, st.blendOp) : src;
            StorePixel(p, target.format, WriteMask(out, dst, st.writeMask));
        }
        if constexpr (Perspective) q += t.q.dx;
        s += t.s.dx;
        tc += t.t.dx;
        z += t.z.dx;
        for (int k = 0; k < 4; ++k) col[k] += t.colour[k].dx;
    }
}

SpanFunction WidePointSpanFor(bool blend, bool white) {
    if (blend) return white ? EachRow<WidePointSpan<true, true>> : EachRow<WidePointSpan<true, false>>;
    return white ? EachRow<WidePointSpan<false, true>> : EachRow<WidePointSpan<false, false>>;
}

// Exactly one texel a pixel along x, on the same texel row.
bool OneToOneRows(const Triangle& t) {
    return g_spanRegisters >= 256 && t.fixedS.dx == (uint64_t{1} << 32) && t.fixedT.dx == 0;
}

// The fast spans blend with SRCALPHA, INVSRCALPHA, ADD or not at all.
bool FastBlendState(const DrawState& st) {
    return !st.blend ||
           (st.blendOp == D3DBLENDOP_ADD && st.srcBlend == D3DBLEND_SRCALPHA && st.dstBlend == D3DBLEND_INVSRCALPHA);
}

}  // namespace

void ChooseSpan(Triangle& t, bool perspective, const DrawState& st, const RenderTargetView& target) {
    if (perspective) {
        t.span = EachRow<GenericSpan<true>>;
        return;
    }
    const bool fast = t.flatColour && BytesPerPixel(target.format) == 4 && !st.alphaTest && !st.depthTest &&
                      st.writeMask == 0xF && FastBlendState(st);
    if (!fast) {
        t.span = EachRow<GenericSpan<false>>;
    } else if (!st.textured) {
        t.span = EachRow<SolidSpan>;
    } else {
        const double bias = t.linear ? -0.5 : 0.0;
        t.fixedS = ToFixed(t, t.s, bias);
        t.fixedT = ToFixed(t, t.t, bias);
        const bool white = t.flat == 0xFFFFFFFFu;
        if (t.linear && g_spanRegisters >= 256)
            t.span = ClampsPairs(st.sampler) ? ClampedSpanFor(st.blend, white) : WideSpanFor(st.blend, white);
        else
            t.span = t.linear ? FastSpanFor<true>(st.blend, white)
                     : OneToOneRows(t)    ? WidePointSpanFor(st.blend, white)
                                          : FastSpanFor<false>(st.blend, white);
    }
}

int UseSpanRegisters(int bits) {
    g_spanRegisters = std::min(bits, g_widestRegisters);
    return g_spanRegisters;
}
