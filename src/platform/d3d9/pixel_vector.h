#pragma once
// The fast span's per-pixel arithmetic with four 16-bit channel lanes in SSE2 registers.
// Every step rounds exactly as the scalar functions in pixel_color.h do, so both paths
// draw the same pixels.
#include <emmintrin.h>

#include "platform/d3d9/pixel_color.h"

VELK_HOT __m128i Widen(uint32_t argb) { return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(argb)), _mm_setzero_si128()); }

VELK_HOT uint32_t Narrow(__m128i lanes) { return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes))); }

// (a * (256 - w) + b * w + 128) >> 8 in every lane.
VELK_HOT __m128i LerpLanes(__m128i a, __m128i b, uint32_t w) {
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(a, _mm_set1_epi16(static_cast<short>(256 - w))),
                                      _mm_mullo_epi16(b, _mm_set1_epi16(static_cast<short>(w))));
    return _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(128)), 8);
}

// Rounded x / 255 in every lane, x up to 65025.
VELK_HOT __m128i Div255Vector(__m128i x) {
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

VELK_HOT __m128i BilinearLanes(const TexelQuad& q, uint32_t wu, uint32_t wv) {
    const __m128i upper = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, static_cast<int>(q.t10), static_cast<int>(q.t00)),
                                            _mm_setzero_si128());
    const __m128i lower = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, static_cast<int>(q.t11), static_cast<int>(q.t01)),
                                            _mm_setzero_si128());
    const __m128i columns = LerpLanes(upper, lower, wv);  // left column in the low half, right in the high
    return LerpLanes(columns, _mm_srli_si128(columns, 8), wu);
}

VELK_HOT __m128i ModulateLanes(__m128i a, __m128i b) { return Div255Vector(_mm_mullo_epi16(a, b)); }

VELK_HOT __m128i BlendSrcAlphaLanes(__m128i src, __m128i dst) {
    const __m128i alpha = _mm_shufflelo_epi16(src, 0xFF);
    const __m128i inverse = _mm_sub_epi16(_mm_set1_epi16(255), alpha);
    return Div255Vector(_mm_add_epi16(_mm_mullo_epi16(src, alpha), _mm_mullo_epi16(dst, inverse)));
}
