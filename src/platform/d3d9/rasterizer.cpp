#include "platform/d3d9/rasterizer.h"

#include <algorithm>
#include <cmath>

#include "platform/d3d9/pixel_color.h"
#include "platform/d3d9/pixel_format.h"
#include "platform/d3d9/pixel_vector.h"
#include "platform/d3d9/thread_pool.h"

namespace {

constexpr int kSubPixel = 256;  // 8 bits of sub-pixel precision
constexpr int kBandRows = 16;

// Covered where a * x + b * y + c >= 0 at the pixel centre (x, y).
struct Edge {
    int64_t a, b, c;
};

// value(x, y) = base + dx * (x - ox) + dy * (y - oy)
struct Plane {
    float base = 0, dx = 0, dy = 0;
};

enum class SpanKind : uint8_t { Solid, FastPoint, FastLinear, Generic, GenericPerspective };

int64_t FloorDiv(int64_t n, int64_t d) {
    int64_t q = n / d;
    if (n % d != 0 && ((n < 0) != (d < 0))) --q;
    return q;
}

int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }

// Steps one edge's bound on the covered x from row to row without dividing.
struct EdgeWalker {
    int kind;  // +1: lower bound on x, -1: upper bound, 0: horizontal (whole row in or out)
    int64_t q, e, d, sq, sr;

    void Init(const Edge& edge, int y) {
        const int64_t row = edge.b * y + edge.c;
        if (edge.a == 0) {
            kind = 0;
            q = row;
            sq = edge.b;
            return;
        }
        kind = edge.a > 0 ? 1 : -1;
        d = edge.a > 0 ? edge.a : -edge.a;
        const int64_t n = edge.a > 0 ? -row : row;  // x >= n / d (lower) or x <= n / d (upper)
        const int64_t step = edge.a > 0 ? -edge.b : edge.b;
        q = kind > 0 ? CeilDiv(n, d) : FloorDiv(n, d);
        e = kind > 0 ? q * d - n : n - q * d;
        sq = FloorDiv(step, d);
        sr = step - sq * d;
    }

    void Step() {
        if (kind == 0) {
            q += sq;
        } else if (kind > 0) {
            q += sq;
            e -= sr;
            if (e < 0) {
                e += d;
                ++q;
            }
        } else {
            q += sq;
            e += sr;
            if (e >= d) {
                e -= d;
                ++q;
            }
        }
    }
};

}  // namespace

struct Triangle {
    Edge edge[3];
    int xmin, xmax, ymin, ymax;
    float ox, oy;
    Plane q, s, t, z, colour[4];
    uint32_t flat;
    uint32_t state;
    bool flatColour;
    bool linear;
    SpanKind kind;

    float At(const Plane& p, int x, int y) const { return p.base + p.dx * (x - ox) + p.dy * (y - oy); }
};

namespace {

struct SpanContext {
    const Triangle& tri;
    const DrawState& state;
    const RenderTargetView& target;
};

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

// 32.32 fixed point of a texel coordinate.
int64_t ToFix32(float v) { return static_cast<int64_t>(static_cast<double>(ClampTexelCoord(v)) * 4294967296.0); }

// The fast spans: affine, one colour, a 32-bit target and at most source-alpha blending,
// stepped in 32.32 fixed point.
struct FastStepper {
    int64_t s, u, ds, du;

    // Texel coordinates minus one half with 8 fractional bits, then one pixel on.
    int NextS() { return static_cast<int>(((s += ds) - ds + (1 << 23)) >> 24); }
    int NextU() { return static_cast<int>(((u += du) - du + (1 << 23)) >> 24); }
};

template <bool Blend, bool White>
VELK_HOT __m128i ShadeLanes(__m128i src, __m128i colour, __m128i dst) {
    if constexpr (!White) src = ModulateLanes(src, colour);
    if constexpr (Blend) src = BlendSrcAlphaLanes(src, dst);
    return src;
}

// Filtered texels, two pixels at a time; all-transparent samples leave their pixels.
template <bool Blend, bool White>
void FastLinearSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;  // a copy the target's stores cannot alias
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const __m128i colour = WidenTwice(t.flat);
    FastStepper step{ToFix32(t.At(t.s, xl, y) - 0.5f), ToFix32(t.At(t.t, xl, y) - 0.5f), ToFix32(t.s.dx), ToFix32(t.t.dx)};
    int x = xl;
    for (; x < xr; x += 2) {
        const int sa = step.NextS(), va = step.NextU(), sb = step.NextS(), vb = step.NextU();
        const TexelRows a = FetchRows(sampler, sa >> 8, va >> 8), b = FetchRows(sampler, sb >> 8, vb >> 8);
        if (Blend && Transparent(a) && Transparent(b)) continue;
        const __m128i src = BilinearPair(a, b, sa & 255, va & 255, sb & 255, vb & 255);
        StorePair(row + x, ShadeLanes<Blend, White>(src, colour, Blend ? LoadPair(row + x) : src), alpha);
    }
    if (x == xr) {
        const int sa = step.NextS(), va = step.NextU();
        const TexelRows a = FetchRows(sampler, sa >> 8, va >> 8);
        if (Blend && Transparent(a)) return;
        const __m128i src = BilinearLanes(a, sa & 255, va & 255);
        row[x] = Narrow(ShadeLanes<Blend, White>(src, colour, Blend ? Widen(row[x]) : src)) | alpha;
    }
}

// Texels 1:1.
template <bool Blend, bool White>
void FastPointSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const __m128i colour = WidenTwice(t.flat);
    int64_t s = ToFix32(t.At(t.s, xl, y)), u = ToFix32(t.At(t.t, xl, y));
    const int64_t ds = ToFix32(t.s.dx), du = ToFix32(t.t.dx);
    for (int x = xl; x <= xr; ++x, s += ds, u += du) {
        const uint32_t texel = FetchTexel(sampler, static_cast<int>(s >> 32), static_cast<int>(u >> 32));
        if (Blend && (texel >> 24) == 0) continue;
        row[x] = Narrow(ShadeLanes<Blend, White>(Widen(texel), colour, Blend ? Widen(row[x]) : colour)) | alpha;
    }
}

template <bool Linear, bool Blend, bool White>
void FastSpan(const SpanContext& c, int y, int xl, int xr) {
    if constexpr (Linear)
        FastLinearSpan<Blend, White>(c, y, xl, xr);
    else
        FastPointSpan<Blend, White>(c, y, xl, xr);
}

template <bool Linear>
void FastSpan(const SpanContext& c, int y, int xl, int xr) {
    const bool white = c.tri.flat == 0xFFFFFFFFu;
    if (c.state.blend)
        white ? FastSpan<Linear, true, true>(c, y, xl, xr) : FastSpan<Linear, true, false>(c, y, xl, xr);
    else
        white ? FastSpan<Linear, false, true>(c, y, xl, xr) : FastSpan<Linear, false, false>(c, y, xl, xr);
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

void DrawSpan(const SpanContext& c, int y, int xl, int xr) {
    switch (c.tri.kind) {
        case SpanKind::Solid:
            return SolidSpan(c, y, xl, xr);
        case SpanKind::FastPoint:
            return FastSpan<false>(c, y, xl, xr);
        case SpanKind::FastLinear:
            return FastSpan<true>(c, y, xl, xr);
        case SpanKind::Generic:
            return GenericSpan<false>(c, y, xl, xr);
        case SpanKind::GenericPerspective:
            return GenericSpan<true>(c, y, xl, xr);
    }
}

void RasteriseRows(const SpanContext& c, int y0, int y1) {
    const Triangle& t = c.tri;
    const int ya = std::max(t.ymin, y0), yb = std::min(t.ymax, y1 - 1);
    if (ya > yb) return;
    EdgeWalker walkers[3];
    for (int i = 0; i < 3; ++i) walkers[i].Init(t.edge[i], ya);
    for (int y = ya; y <= yb; ++y) {
        int64_t xl = t.xmin, xr = t.xmax;
        for (EdgeWalker& w : walkers) {
            if (w.kind > 0)
                xl = std::max(xl, w.q);
            else if (w.kind < 0)
                xr = std::min(xr, w.q);
            else if (w.q < 0)
                xr = xl - 1;
            w.Step();
        }
        if (xl <= xr) DrawSpan(c, y, static_cast<int>(xl), static_cast<int>(xr));
    }
}

Plane MakePlane(const double px[3], const double py[3], const double f[3], double det) {
    const double d1 = f[1] - f[0], d2 = f[2] - f[0];
    Plane p;
    p.base = static_cast<float>(f[0]);
    p.dx = static_cast<float>((d1 * (py[2] - py[0]) - d2 * (py[1] - py[0])) / det);
    p.dy = static_cast<float>((d2 * (px[1] - px[0]) - d1 * (px[2] - px[0])) / det);
    return p;
}

bool IsWholeTexelOffset(float v) {
    const float f = v - std::floor(v);
    return f < 1e-3f || f > 1 - 1e-3f;
}

// Texels land 1:1 on pixels, centre on centre: bilinear filtering would return the texel.
bool MapsTexelsOneToOne(const Triangle& t) {
    constexpr float kEps = 1e-4f;
    return std::fabs(t.s.dx - 1) < kEps && std::fabs(t.t.dy - 1) < kEps && std::fabs(t.s.dy) < kEps &&
           std::fabs(t.t.dx) < kEps && IsWholeTexelOffset(t.At(t.s, t.xmin, t.ymin) - 0.5f) &&
           IsWholeTexelOffset(t.At(t.t, t.xmin, t.ymin) - 0.5f);
}

bool ChoosesLinear(const Triangle& t, const SamplerView& sampler) {
    const float texelsPerPixel = std::fabs(t.s.dx * t.t.dy - t.s.dy * t.t.dx);
    const uint8_t filter = texelsPerPixel > 1.0001f ? sampler.minFilter : sampler.magFilter;
    return filter == D3DTEXF_LINEAR;
}

// The fast spans blend with SRCALPHA, INVSRCALPHA, ADD or not at all.
bool FastBlendState(const DrawState& st) {
    return !st.blend ||
           (st.blendOp == D3DBLENDOP_ADD && st.srcBlend == D3DBLEND_SRCALPHA && st.dstBlend == D3DBLEND_INVSRCALPHA);
}

SpanKind ChooseSpan(const Triangle& t, bool perspective, const DrawState& st, const RenderTargetView& target) {
    if (perspective) return SpanKind::GenericPerspective;
    const bool fast = t.flatColour && BytesPerPixel(target.format) == 4 && !st.alphaTest && !st.depthTest &&
                      st.writeMask == 0xF && FastBlendState(st);
    if (!fast) return SpanKind::Generic;
    if (!st.textured) return SpanKind::Solid;
    return t.linear ? SpanKind::FastLinear : SpanKind::FastPoint;
}

}  // namespace

Rasterizer::Rasterizer() = default;
Rasterizer::~Rasterizer() = default;

void Rasterizer::Begin(const RenderTargetView& target, int height) {
    target_ = target;
    height_ = height;
    bins_.resize(static_cast<size_t>((height + kBandRows - 1) / kBandRows));
}

bool Rasterizer::Empty() const { return triangles_.empty(); }

size_t Rasterizer::TriangleCount() const { return triangles_.size(); }

uint32_t Rasterizer::AddState(const DrawState& state) {
    states_.push_back(state);
    // ONE, ZERO, ADD writes the source: the same as no blending, which the fast spans know.
    DrawState& added = states_.back();
    if (added.blend && added.srcBlend == D3DBLEND_ONE && added.dstBlend == D3DBLEND_ZERO && added.blendOp == D3DBLENDOP_ADD)
        added.blend = false;
    return static_cast<uint32_t>(states_.size() - 1);
}

void Rasterizer::AddTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t state,
                             DWORD cull) {
    const ScreenVertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = std::llrint(v[i]->x * kSubPixel);
        Y[i] = std::llrint(v[i]->y * kSubPixel);
    }
    const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    // Positive area runs clockwise on screen (y grows downward).
    if (area == 0 || (cull == D3DCULL_CW && area > 0) || (cull == D3DCULL_CCW && area < 0)) return;
    if (area < 0) {
        std::swap(v[1], v[2]);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
    }
    Triangle t;
    const RECT& sc = target_.scissor;
    t.xmin = static_cast<int>(std::max<int64_t>(sc.left, CeilDiv(std::min({X[0], X[1], X[2]}), kSubPixel)));
    t.xmax = static_cast<int>(std::min<int64_t>(sc.right - 1, FloorDiv(std::max({X[0], X[1], X[2]}), kSubPixel)));
    t.ymin = static_cast<int>(std::max<int64_t>(sc.top, CeilDiv(std::min({Y[0], Y[1], Y[2]}), kSubPixel)));
    t.ymax = static_cast<int>(std::min<int64_t>(sc.bottom - 1, FloorDiv(std::max({Y[0], Y[1], Y[2]}), kSubPixel)));
    if (t.xmin > t.xmax || t.ymin > t.ymax) return;

    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const int64_t ea = Y[i] - Y[j], eb = X[j] - X[i];
        const bool topLeft = ea > 0 || (ea == 0 && eb > 0);
        t.edge[i] = {ea * kSubPixel, eb * kSubPixel, X[i] * Y[j] - X[j] * Y[i] - (topLeft ? 0 : 1)};
    }

    double px[3], py[3];
    for (int i = 0; i < 3; ++i) {
        px[i] = static_cast<double>(X[i]) / kSubPixel;
        py[i] = static_cast<double>(Y[i]) / kSubPixel;
    }
    const double det = static_cast<double>(area) / (kSubPixel * kSubPixel);
    t.ox = static_cast<float>(px[0]);
    t.oy = static_cast<float>(py[0]);

    const float q0 = v[0]->q;
    const bool perspective = std::fabs(v[1]->q - q0) > 1e-6f * std::fabs(q0) || std::fabs(v[2]->q - q0) > 1e-6f * std::fabs(q0);
    const auto plane = [&](auto value) {
        const double f[3] = {value(*v[0]), value(*v[1]), value(*v[2])};
        return MakePlane(px, py, f, det);
    };
    const auto weight = [&](const ScreenVertex& sv) { return perspective ? static_cast<double>(sv.q) : 1.0; };
    const DrawState& st = states_[state];
    // Only the planes the spans will read.
    t.q = perspective ? plane([&](const ScreenVertex& sv) { return weight(sv); }) : Plane{1, 0, 0};
    if (st.depthTest) t.z = plane([](const ScreenVertex& sv) { return static_cast<double>(sv.z); });
    if (st.textured) {
        // Texel scale from the unweighted coordinates; the weighted planes interpolate.
        t.s = plane([](const ScreenVertex& sv) { return static_cast<double>(sv.s); });
        t.t = plane([](const ScreenVertex& sv) { return static_cast<double>(sv.t); });
        t.linear = ChoosesLinear(t, st.sampler) && (perspective || !MapsTexelsOneToOne(t));
        if (perspective) {
            t.s = plane([&](const ScreenVertex& sv) { return sv.s * weight(sv); });
            t.t = plane([&](const ScreenVertex& sv) { return sv.t * weight(sv); });
        }
    } else {
        t.linear = false;
    }
    t.flatColour = true;
    for (int k = 0; k < 4; ++k)
        t.flatColour = t.flatColour && v[0]->colour[k] == v[1]->colour[k] && v[0]->colour[k] == v[2]->colour[k];
    if (!t.flatColour)
        for (int k = 0; k < 4; ++k) t.colour[k] = plane([&](const ScreenVertex& sv) { return sv.colour[k] * weight(sv); });
    t.flat = PackColour(v[0]->colour, 1.0f);
    t.state = state;
    t.kind = ChooseSpan(t, perspective, st, target_);

    const uint32_t index = static_cast<uint32_t>(triangles_.size());
    triangles_.push_back(t);
    for (int band = t.ymin / kBandRows; band <= t.ymax / kBandRows; ++band) bins_[band].push_back(index);
}

void Rasterizer::RasteriseBand(int band) {
    const int y0 = band * kBandRows, y1 = std::min(y0 + kBandRows, height_);
    for (const uint32_t index : bins_[band]) {
        const Triangle& t = triangles_[index];
        RasteriseRows(SpanContext{t, states_[t.state], target_}, y0, y1);
    }
}

void Rasterizer::Execute(ThreadPool& pool) {
    if (!triangles_.empty()) pool.Run(static_cast<int>(bins_.size()), [this](int band) { RasteriseBand(band); });
    triangles_.clear();
    states_.clear();
    for (auto& bin : bins_) bin.clear();
}
