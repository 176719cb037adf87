#include "platform/d3d9/vertex_pipeline.h"

#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <utility>

namespace {

// Screen coordinates stay within this many pixels around the viewport, which keeps the
// rasteriser's fixed-point arithmetic exact.
constexpr float kGuardBandPixels = 4096;
constexpr int kPlaneCount = 7;
constexpr float kMinW = 1e-6f;

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

ClipVertex Interpolate(const ClipVertex& a, const ClipVertex& b, float t) {
    ClipVertex v;
    v.x = Lerp(a.x, b.x, t);
    v.y = Lerp(a.y, b.y, t);
    v.z = Lerp(a.z, b.z, t);
    v.w = Lerp(a.w, b.w, t);
    v.s = Lerp(a.s, b.s, t);
    v.t = Lerp(a.t, b.t, t);
    for (int k = 0; k < 4; ++k) v.colour[k] = Lerp(a.colour[k], b.colour[k], t);
    return v;
}

}  // namespace

void VertexPipeline::SetViewport(const D3DVIEWPORT9& viewport) {
    vpX_ = static_cast<float>(viewport.X);
    vpY_ = static_cast<float>(viewport.Y);
    vpHalfW_ = viewport.Width * 0.5f;
    vpHalfH_ = viewport.Height * 0.5f;
    minZ_ = viewport.MinZ;
    depthRange_ = viewport.MaxZ - viewport.MinZ;
    guardX_ = 1 + kGuardBandPixels / vpHalfW_;
    guardY_ = 1 + kGuardBandPixels / vpHalfH_;
}

namespace {

// A vertex in registers: clip position (x, y, z, w), texel coordinates (s, t, -, -) and
// colour (b, g, r, a). Each lane is worked out with the float operations, in the order,
// that the formulas in the comments spell out, so the results are those of scalar code.
struct Lanes {
    __m128 position, texel, colour;
};

__m128 Splat(__m128 v, int lane) {
    switch (lane) {
        case 0: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
        case 1: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
        case 2: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
        default: return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
    }
}

// Lanes where the mask is set from a, the others from b.
__m128 Select(__m128 mask, __m128 a, __m128 b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }

__m128 LaneMask(bool l0, bool l1, bool l2, bool l3) {
    const auto bits = [](bool on) { return on ? -1 : 0; };
    return _mm_castsi128_ps(_mm_setr_epi32(bits(l0), bits(l1), bits(l2), bits(l3)));
}

// Lanes below `lanes` all finite (neither infinite nor NaN).
bool Finite(__m128 v, int lanes) {
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), v);
    const int finite = _mm_movemask_ps(_mm_cmplt_ps(magnitude, _mm_set1_ps(INFINITY)));
    const int wanted = (1 << lanes) - 1;
    return (finite & wanted) == wanted;
}

}  // namespace

// What a draw's vertices share, in registers.
struct VertexPipeline::Constants {
    __m128 row[4];          // the projection's rows
    __m128 texScale;        // texWidth, texHeight
    __m128 colourMask;      // all ones, or the alpha alone for black vertices
    __m128 guard;           // guardX, guardX, guardY, guardY
    __m128 scale, offset;   // vpHalfW, vpHalfH, depthRange; vpX, vpY, minZ

    Constants(const VertexPipeline& p, float texWidth, float texHeight, bool blackColour) {
        for (int i = 0; i < 4; ++i) row[i] = _mm_loadu_ps(p.projection_.m[i]);
        texScale = _mm_setr_ps(texWidth, texHeight, 0, 0);
        colourMask = LaneMask(!blackColour, !blackColour, !blackColour, true);
        guard = _mm_setr_ps(p.guardX_, p.guardX_, p.guardY_, p.guardY_);
        scale = _mm_setr_ps(p.vpHalfW_, p.vpHalfH_, p.depthRange_, 0);
        offset = _mm_setr_ps(p.vpX_, p.vpY_, p.minZ_, 0);
    }
};

namespace {

// The 24-byte vertex {x, y, z; colour; u, v}; texture coordinates are scaled to texels.
Lanes Transform(const uint8_t* vertex, const VertexPipeline::Constants& k) {
    const __m128 pos = _mm_loadu_ps(reinterpret_cast<const float*>(vertex));  // x, y, z, colour bits
    Lanes v;
    // x * m[0][i] + y * m[1][i] + z * m[2][i] + m[3][i]
    v.position = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(Splat(pos, 0), k.row[0]), _mm_mul_ps(Splat(pos, 1), k.row[1])),
                                       _mm_mul_ps(Splat(pos, 2), k.row[2])),
                            k.row[3]);
    // u * texWidth, v * texHeight
    v.texel = _mm_mul_ps(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(vertex + 16))), k.texScale);
    // The colour's bytes b, g, r, a as floats.
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_castps_si128(Splat(pos, 3));
    const __m128i words = _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
    v.colour = _mm_and_ps(_mm_cvtepi32_ps(words), k.colourMask);
    return v;
}

// The planes of VertexPipeline::Distance, a bit each where the vertex lies outside.
Outcode Classify(const Lanes& v, const VertexPipeline::Constants& k) {
    if (!Finite(v.position, 4) || !Finite(v.texel, 2)) return kOutsideAll;
    const __m128 p = v.position;
    // w - minW, z - 0, w - z (and w - w, unused)
    const __m128 depth = _mm_sub_ps(_mm_shuffle_ps(p, p, _MM_SHUFFLE(3, 3, 2, 3)),
                                    _mm_or_ps(_mm_and_ps(p, LaneMask(false, false, true, true)), _mm_setr_ps(kMinW, 0, 0, 0)));
    // guardX * w + x, guardX * w - x, guardY * w + y, guardY * w - y
    const __m128 sides = _mm_add_ps(_mm_mul_ps(k.guard, Splat(p, 3)),
                                    _mm_xor_ps(_mm_shuffle_ps(p, p, _MM_SHUFFLE(1, 1, 0, 0)), _mm_setr_ps(0, -0.0f, 0, -0.0f)));
    const __m128 zero = _mm_setzero_ps();
    return static_cast<Outcode>((_mm_movemask_ps(_mm_cmplt_ps(depth, zero)) & 7) |
                                _mm_movemask_ps(_mm_cmplt_ps(sides, zero)) << 3);
}

void Store(const Lanes& v, ClipVertex& out) {
    _mm_storeu_ps(&out.x, v.position);
    _mm_storel_pi(reinterpret_cast<__m64*>(&out.s), v.texel);
    _mm_storeu_ps(out.colour, v.colour);
}

// x = (x q + 1) vpHalfW + vpX, y = (1 - y q) vpHalfH + vpY, z = minZ + z q depthRange, q
// with q = 1 / w.
void Project(const Lanes& v, const VertexPipeline::Constants& k, ScreenVertex& s) {
    const __m128 q = _mm_div_ps(_mm_set1_ps(1.0f), Splat(v.position, 3));
    const __m128 perspective = _mm_xor_ps(_mm_mul_ps(v.position, q), _mm_setr_ps(0, -0.0f, 0, 0));
    const __m128 xy = LaneMask(true, true, false, false);
    const __m128 raised = Select(xy, _mm_add_ps(perspective, _mm_set1_ps(1.0f)), perspective);
    const __m128 mapped = _mm_add_ps(_mm_mul_ps(raised, k.scale), k.offset);
    _mm_storeu_ps(&s.x, Select(LaneMask(true, true, true, false), mapped, q));
    _mm_storel_pi(reinterpret_cast<__m64*>(&s.s), v.texel);
    _mm_storeu_ps(s.colour, v.colour);
}

}  // namespace

static_assert(offsetof(ClipVertex, s) == 16 && offsetof(ClipVertex, colour) == 24);
static_assert(offsetof(ScreenVertex, q) == 12 && offsetof(ScreenVertex, s) == 16 && offsetof(ScreenVertex, colour) == 24);

float VertexPipeline::Distance(const ClipVertex& v, int plane) const {
    switch (plane) {
        case 0: return v.w - kMinW;
        case 1: return v.z;
        case 2: return v.w - v.z;
        case 3: return guardX_ * v.w + v.x;
        case 4: return guardX_ * v.w - v.x;
        case 5: return guardY_ * v.w + v.y;
        default: return guardY_ * v.w - v.y;
    }
}

void VertexPipeline::TransformAll(const uint8_t* vertices, size_t count, float texWidth, float texHeight,
                                  bool blackColour, ClipVertex* clip, Outcode* outcodes, ScreenVertex* screen) const {
    const Constants k(*this, texWidth, texHeight, blackColour);
    for (size_t i = 0; i < count; ++i) {
        const Lanes v = Transform(vertices + i * kVertexStride, k);
        Store(v, clip[i]);
        outcodes[i] = Classify(v, k);
        if (outcodes[i] == 0) Project(v, k, screen[i]);
    }
}

ScreenVertex VertexPipeline::ToScreen(const ClipVertex& v) const {
    const Lanes lanes{_mm_loadu_ps(&v.x), _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&v.s))),
                      _mm_loadu_ps(v.colour)};
    ScreenVertex s;
    Project(lanes, Constants(*this, 0, 0, false), s);
    return s;
}

int VertexPipeline::Clip(const ClipVertex (&triangle)[3], Outcode outside, ClipVertex (&out)[kMaxClipVertices]) const {
    ClipVertex buffer[kMaxClipVertices];
    ClipVertex* src = out;
    ClipVertex* dst = buffer;
    int count = 3;
    for (int i = 0; i < 3; ++i) src[i] = triangle[i];
    for (int p = 0; p < kPlaneCount && count > 0; ++p) {
        if (!(outside & (1u << p))) continue;
        int n = 0;
        for (int i = 0; i < count; ++i) {
            const ClipVertex& a = src[i];
            const ClipVertex& b = src[(i + 1) % count];
            const float da = Distance(a, p), db = Distance(b, p);
            if (da >= 0) dst[n++] = a;
            if ((da >= 0) != (db >= 0) && n < kMaxClipVertices) dst[n++] = Interpolate(a, b, da / (da - db));
        }
        count = n;
        std::swap(src, dst);
    }
    if (src != out)
        for (int i = 0; i < count; ++i) out[i] = src[i];
    return count;
}
