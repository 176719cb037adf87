#include "platform/d3d9/rasterizer.h"

#include <algorithm>
#include <cmath>

#include "platform/d3d9/pixel_color.h"
#include "platform/d3d9/triangle.h"
#include "platform/d3d9/thread_pool.h"

namespace {

constexpr int kSubPixel = 256;  // 8 bits of sub-pixel precision
constexpr int kBandRows = 16;


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
        const int64_t row = int64_t{edge.b} * y + edge.c;
        if (edge.a == 0) {
            kind = 0;
            q = row;
            sq = edge.b;
            return;
        }
        kind = edge.a > 0 ? 1 : -1;
        d = edge.a > 0 ? edge.a : -int64_t{edge.a};
        const int64_t n = edge.a > 0 ? -row : row;  // x >= n / d (lower) or x <= n / d (upper)
        q = kind > 0 ? CeilDiv(n, d) : FloorDiv(n, d);
        e = kind > 0 ? q * d - n : n - q * d;
        sq = edge.stepQuotient;
        sr = edge.stepRemainder;
    }

    void Step() {
        q += sq;
        if (kind > 0) {
            e -= sr;
            if (e < 0) {
                e += d;
                ++q;
            }
        } else if (kind < 0) {
            e += sr;
            if (e >= d) {
                e -= d;
                ++q;
            }
        }
    }
};

Edge MakeEdge(int64_t a, int64_t b, int64_t c) {
    Edge edge{c, static_cast<int32_t>(a), static_cast<int32_t>(b), 0, 0};
    if (a != 0) {
        const int64_t d = a > 0 ? a : -a, step = a > 0 ? -b : b;
        const int64_t q = FloorDiv(step, d);
        edge.stepQuotient = static_cast<int32_t>(q);
        edge.stepRemainder = static_cast<uint32_t>(step - q * d);
    }
    return edge;
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
        if (xl <= xr) t.span(c, y, static_cast<int>(xl), static_cast<int>(xr));
    }
}

// inverseArea: 1 / twice the triangle's signed area in pixels.
Plane MakePlane(const double px[3], const double py[3], const double f[3], double inverseArea) {
    const double d1 = f[1] - f[0], d2 = f[2] - f[0];
    Plane p;
    p.base = static_cast<float>(f[0]);
    p.dx = static_cast<float>((d1 * (py[2] - py[0]) - d2 * (py[1] - py[0])) * inverseArea);
    p.dy = static_cast<float>((d2 * (px[1] - px[0]) - d1 * (px[2] - px[0])) * inverseArea);
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

}  // namespace

Rasterizer::Rasterizer() = default;
Rasterizer::~Rasterizer() = default;

void Rasterizer::Begin(const RenderTargetView& target, int height) {
    Batch& batch = Recording();
    batch.target = target;
    batch.height = height;
    batch.bins.resize(static_cast<size_t>((height + kBandRows - 1) / kBandRows));
}

bool Rasterizer::Empty() const { return Recording().triangles.empty(); }

size_t Rasterizer::TriangleCount() const { return Recording().triangles.size(); }

uint32_t Rasterizer::AddState(const DrawState& state) {
    std::vector<DrawState>& states = Recording().states;
    states.push_back(state);
    // ONE, ZERO, ADD writes the source: the same as no blending, which the fast spans know.
    DrawState& added = states.back();
    if (added.blend && added.srcBlend == D3DBLEND_ONE && added.dstBlend == D3DBLEND_ZERO && added.blendOp == D3DBLENDOP_ADD)
        added.blend = false;
    return static_cast<uint32_t>(states.size() - 1);
}

void Rasterizer::AddTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t state,
                             DWORD cull) {
    Batch& batch = Recording();
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
    // Built in place: the record is large.
    Triangle& t = batch.triangles.emplace_back();
    const RECT& sc = batch.target.scissor;
    t.xmin = static_cast<int>(std::max<int64_t>(sc.left, CeilDiv(std::min({X[0], X[1], X[2]}), kSubPixel)));
    t.xmax = static_cast<int>(std::min<int64_t>(sc.right - 1, FloorDiv(std::max({X[0], X[1], X[2]}), kSubPixel)));
    t.ymin = static_cast<int>(std::max<int64_t>(sc.top, CeilDiv(std::min({Y[0], Y[1], Y[2]}), kSubPixel)));
    t.ymax = static_cast<int>(std::min<int64_t>(sc.bottom - 1, FloorDiv(std::max({Y[0], Y[1], Y[2]}), kSubPixel)));
    if (t.xmin > t.xmax || t.ymin > t.ymax) {
        batch.triangles.pop_back();
        return;
    }

    for (int i = 0; i < 3; ++i) {
        const int j = (i + 1) % 3;
        const int64_t ea = Y[i] - Y[j], eb = X[j] - X[i];
        const bool topLeft = ea > 0 || (ea == 0 && eb > 0);
        t.edge[i] = MakeEdge(ea * kSubPixel, eb * kSubPixel, X[i] * Y[j] - X[j] * Y[i] - (topLeft ? 0 : 1));
    }

    double px[3], py[3];
    for (int i = 0; i < 3; ++i) {
        px[i] = static_cast<double>(X[i]) / kSubPixel;
        py[i] = static_cast<double>(Y[i]) / kSubPixel;
    }
    const double inverseArea = static_cast<double>(kSubPixel * kSubPixel) / static_cast<double>(area);
    t.ox = static_cast<float>(px[0]);
    t.oy = static_cast<float>(py[0]);

    const float q0 = v[0]->q;
    const bool perspective = std::fabs(v[1]->q - q0) > 1e-6f * std::fabs(q0) || std::fabs(v[2]->q - q0) > 1e-6f * std::fabs(q0);
    const auto plane = [&](auto value) {
        const double f[3] = {value(*v[0]), value(*v[1]), value(*v[2])};
        return MakePlane(px, py, f, inverseArea);
    };
    const auto weight = [&](const ScreenVertex& sv) { return perspective ? static_cast<double>(sv.q) : 1.0; };
    const DrawState& st = batch.states[state];
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
    ChooseSpan(t, perspective, st, batch.target);

    const uint32_t index = static_cast<uint32_t>(batch.triangles.size() - 1);
    for (int band = t.ymin / kBandRows; band <= t.ymax / kBandRows; ++band) batch.bins[band].push_back(index);
}

void Rasterizer::Batch::RasteriseBand(int band) const {
    const int y0 = band * kBandRows, y1 = std::min(y0 + kBandRows, height);
    const std::vector<uint32_t>& bin = bins[band];
    // The band's triangles lie scattered through the batch: ask for them ahead.
    constexpr size_t kAhead = 4;
    for (size_t i = 0; i < bin.size(); ++i) {
        if (i + kAhead < bin.size()) {
            const char* next = reinterpret_cast<const char*>(&triangles[bin[i + kAhead]]);
            for (size_t line = 0; line < sizeof(Triangle); line += 64) __builtin_prefetch(next + line);
        }
        const Triangle& t = triangles[bin[i]];
        RasteriseRows(SpanContext{t, states[t.state], target}, y0, y1);
    }
}

void Rasterizer::Batch::Clear() {
    triangles.clear();
    states.clear();
    for (auto& bin : bins) bin.clear();
}

void Rasterizer::FinishInFlight(ThreadPool& pool) {
    if (!inFlight_) return;
    pool.Wait();
    batches_[recording_ ^ 1].Clear();
    inFlight_ = false;
}

void Rasterizer::Submit(ThreadPool& pool) {
    FinishInFlight(pool);
    const Batch& batch = Recording();
    if (batch.triangles.empty()) return;
    pool.Start(static_cast<int>(batch.bins.size()), [&batch](int band) { batch.RasteriseBand(band); });
    inFlight_ = true;
    recording_ ^= 1;
}

void Rasterizer::Execute(ThreadPool& pool) {
    FinishInFlight(pool);
    Batch& batch = Recording();
    if (!batch.triangles.empty())
        pool.Run(static_cast<int>(batch.bins.size()), [&batch](int band) { batch.RasteriseBand(band); });
    batch.Clear();
}
