#pragma once
// The fast span's per-pixel arithmetic with four 16-bit channel lanes in SSE2 registers.
// Every step rounds exactly as the scalar functions in pixel_color.h do, so both paths
// draw the same pixels.
#include <emmintrin.h>

#include "platform/d3d9/pixel_color.h"

VELK_HOT __m128i Widen(uint32_t argb) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(argb)), _mm_setzero_si128()); }

VELK_HOT uint32_t Narrow(__m128i lanes) { return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes))); }

// (a * (256 - w) + b * w + 128) >> 8 in every lane, w 0..256 per lane.
VELK_HOT __m128i LerpLanes(__m128i a, __m128i b, __m128i w) {
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, _mm_sub_epi16(_mm_set1_epi16(256), w)), _mm_mullo_epi16(b, w));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}

VELK_HOT __m128i LerpLanes(__m128i a, __m128i b, uint32_t w) {
    return LerpLanes(a, b, _mm_set1_epi16(static_cast<short>(w)));
}

// Rounded x / 255 in every lane, x up to 65025.
VELK_HOT __m128i Div255Vector(__m128i x) {
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// The four texels around a sample as two rows of two, each row in the low 64 bits.
struct TexelRows {
    __m128i upper, lower;
};

VELK_HOT TexelRows FetchRows(const SamplerView& s, int i, int j) {
    if (static_cast<unsigned>(i) < static_cast<unsigned>(s.width - 1) &&
        static_cast<unsigned>(j) < static_cast<unsigned>(s.height - 1)) {
        const uint32_t* p = s.texels + static_cast<size_t>(j) * s.pitch + i;
        const __m128i alpha = _mm_set1_epi32(static_cast<int>(s.alphaOr));
        return {_mm_or_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), alpha),
                _mm_or_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + s.pitch)), alpha)};
    }
    const TexelQuad q = FetchQuad(s, i, j);
    return {_mm_set_epi32(0, 0, static_cast<int>(q.t10), static_cast<int>(q.t00)),
            _mm_set_epi32(0, 0, static_cast<int>(q.t11), static_cast<int>(q.t01))};
}

VELK_HOT __m128i BilinearLanes(const TexelRows& rows, uint32_t wu, uint32_t wv) {
    const __m128i zero = _mm_setzero_si128();
    // Left column in the low half, right in the high.
    const __m128i columns = LerpLanes(_mm_unpacklo_epi8(rows.upper, zero), _mm_unpacklo_epi8(rows.lower, zero), wv);
    return LerpLanes(columns, _mm_srli_si128(columns, 8), wu);
}

// Two neighbouring samples, the first in the low four lanes, the second in the high.
VELK_HOT __m128i BilinearPair(const TexelRows& a, const TexelRows& b, uint32_t wuA, uint32_t wvA, uint32_t wuB,
                              uint32_t wvB) {
    const __m128i zero = _mm_setzero_si128();
    // Weights spread from one word: (a, b) becomes a a b b ..., then a x8 / b x8 or a x4 b x4.
    const __m128i vertical = _mm_cvtsi32_si128(static_cast<int>(wvA | wvB << 16));
    const __m128i verticalPairs = _mm_unpacklo_epi16(vertical, vertical);
    const __m128i across = _mm_cvtsi32_si128(static_cast<int>(wuA | wuB << 16));
    const __m128i acrossPairs = _mm_unpacklo_epi16(across, across);
    const __m128i columnsA = LerpLanes(_mm_unpacklo_epi8(a.upper, zero), _mm_unpacklo_epi8(a.lower, zero),
                                       _mm_shuffle_epi32(verticalPairs, 0x00));
    const __m128i columnsB = LerpLanes(_mm_unpacklo_epi8(b.upper, zero), _mm_unpacklo_epi8(b.lower, zero),
                                       _mm_shuffle_epi32(verticalPairs, 0x55));
    return LerpLanes(_mm_unpacklo_epi64(columnsA, columnsB), _mm_unpackhi_epi64(columnsA, columnsB),
                     _mm_shuffle_epi32(acrossPairs, 0x50));
}

// One pixel in each half.
VELK_HOT __m128i WidenTwice(uint32_t argb) {
    return _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(argb)), _mm_setzero_si128());
}

VELK_HOT __m128i LoadPair(const uint32_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
}

VELK_HOT void StorePair(uint32_t* p, __m128i lanes, uint32_t alphaOr) {
    const __m128i packed = _mm_or_si128(_mm_packus_epi16(lanes, lanes), _mm_set1_epi32(static_cast<int>(alphaOr)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
}

VELK_HOT __m128i ModulateLanes(__m128i a, __m128i b) { return Div255Vector(_mm_mullo_epi16(a, b)); }

// One pixel or two (one in each half).
VELK_HOT __m128i BlendSrcAlphaLanes(__m128i src, __m128i dst) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(src, 0xFF), 0xFF);
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    return Div255Vector(_mm_add_epi16(_mm_mullo_epi16(src, alpha), _mm_mullo_epi16(dst, inverse)));
}
