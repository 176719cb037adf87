#include "platform/d3d9/rasterizer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

#include <immintrin.h>

#include "platform/d3d9/pixel_color.h"
#include "platform/d3d9/pixel_format.h"
#include "platform/d3d9/triangle.h"
#include "platform/d3d9/thread_pool.h"

namespace {

constexpr int kSubPixel = 256;  // 8 bits of sub-pixel precision
constexpr int kBandRows = RowSpans::kMost;
// A shape's set-up, by whichever band's thread reaches it first.
constexpr uint8_t kFresh = 0, kBusy = 1, kDone = 2;
// How far a quad drawn as one polygon may stray from its two triangles: half a step of the
// filter's 8-bit weights, and depth as good as a float holds it.
constexpr double kTexelTolerance = 1.0 / 512, kDepthTolerance = 1e-6;


// llrint without the library call: the conversion rounds to nearest even as llrint does
// in the default rounding mode.
int64_t RoundToInt(float v) { return _mm_cvtss_si64(_mm_set_ss(v)); }

int64_t FloorDiv(int64_t n, int64_t d) {
    int64_t q = n / d;
    if (n % d != 0 && ((n < 0) != (d < 0))) --q;
    return q;
}

int64_t CeilDiv(int64_t n, int64_t d) { return -FloorDiv(-n, d); }

// The bound one edge sets on the covered x, stepped from row to row without dividing:
// x >= q for an edge with the inside to its right (Lower), x <= q for the others. The
// carries follow the edge's slope in patterns branches predict badly: masks instead.
template <bool Lower>
struct EdgeBound {
    int64_t q, e, d, sq, sr;

    void Init(const Edge& edge, int y) {
        const int64_t row = int64_t{edge.b} * y + edge.c;
        d = Lower ? edge.a : -int64_t{edge.a};
        const int64_t n = Lower ? -row : row;  // x >= n / d or x <= n / d
        q = Lower ? CeilDiv(n, d) : FloorDiv(n, d);
        e = Lower ? q * d - n : n - q * d;
        sq = edge.stepQuotient;
        sr = edge.stepRemainder;
    }

    void Step() {
        q += sq;
        if constexpr (Lower) {
            e -= sr;
            const int64_t carry = e >> 63;  // all ones when e went below 0
            e += d & carry;
            q -= carry;
        } else {
            e += sr;
            const int64_t carry = ~((e - d) >> 63);  // all ones when e reached d
            e -= d & carry;
            q -= carry;
        }
    }
};

// The edge from (X0, Y0) to (X1, Y1) in sub-pixels: a * x + b * y + c at pixel (x, y).
Edge MakeEdge(int64_t a, int64_t b, int64_t c, int64_t Y0, int64_t Y1) {
    Edge edge{c, static_cast<int32_t>(a), static_cast<int32_t>(b), 0, 0,
              static_cast<int32_t>(CeilDiv(std::min(Y0, Y1), kSubPixel)),
              static_cast<int32_t>(FloorDiv(std::max(Y0, Y1), kSubPixel))};
    if (a != 0) {
        const int64_t d = a > 0 ? a : -a, step = a > 0 ? -b : b;
        const int64_t q = FloorDiv(step, d);
        edge.stepQuotient = static_cast<int32_t>(q);
        edge.stepRemainder = static_cast<uint32_t>(step - q * d);
    }
    return edge;
}

// The rows ya..yb between L edges bounding x from below and U from above; counts known at
// compile time keep the bounds in registers from row to row.
template <int L, int U>
void WalkRows(const SpanContext& c, const Edge* const (&lowerEdges)[4], const Edge* const (&upperEdges)[4], int ya,
              int yb) {
    const Triangle& t = c.tri;
    EdgeBound<true> lower[L];
    EdgeBound<false> upper[U];
    for (int i = 0; i < L; ++i) lower[i].Init(*lowerEdges[i], ya);
    for (int i = 0; i < U; ++i) upper[i].Init(*upperEdges[i], ya);
    RowSpans rows;
    rows.y0 = ya;
    rows.count = yb - ya + 1;
    for (int r = 0; r < rows.count; ++r) {
        int64_t xl = t.xmin, xr = t.xmax;
        // Unrolled, so the bounds stay in registers from row to row.
#pragma GCC unroll 4
        for (int i = 0; i < L; ++i) {
            xl = std::max(xl, lower[i].q);
            lower[i].Step();
        }
#pragma GCC unroll 4
        for (int i = 0; i < U; ++i) {
            xr = std::min(xr, upper[i].q);
            upper[i].Step();
        }
        // Within the bounding box where the row has pixels; an empty row may have bounds
        // past what int holds.
        const bool empty = xl > xr;
        rows.xl[r] = empty ? 1 : static_cast<int>(xl);
        rows.xr[r] = empty ? 0 : static_cast<int>(xr);
    }
    t.span(c, rows);
}

// Horizontal edges were folded into the row range when the triangle was set up. A polygon
// with area has edges on both sides, at most four in all. Only the edges that reach the
// rows are walked: the polygon is strictly convex, so a pixel of a row that the edges
// reaching the row admit lies strictly inside every other edge, whose integer function
// there is at least 1, which the fill rule's bias of at most 1 does not undo.
void RasteriseRows(const SpanContext& c, int y0, int y1) {
    const Triangle& t = c.tri;
    const int ya = std::max(t.ymin, y0), yb = std::min(t.ymax, y1 - 1);
    if (ya > yb) return;
    const Edge* lower[4] = {};
    const Edge* upper[4] = {};
    int lowerCount = 0, upperCount = 0;
    for (int i = 0; i < t.edgeCount; ++i) {
        const Edge& edge = t.edge[i];
        if (edge.firstRow > yb || edge.lastRow < ya) continue;
        if (edge.a > 0)
            lower[lowerCount++] = &edge;
        else if (edge.a < 0)
            upper[upperCount++] = &edge;
    }
    switch (lowerCount * 4 + upperCount) {
        case 1 * 4 + 1: WalkRows<1, 1>(c, lower, upper, ya, yb); break;
        case 1 * 4 + 2: WalkRows<1, 2>(c, lower, upper, ya, yb); break;
        case 2 * 4 + 1: WalkRows<2, 1>(c, lower, upper, ya, yb); break;
        case 2 * 4 + 2: WalkRows<2, 2>(c, lower, upper, ya, yb); break;
        case 1 * 4 + 3: WalkRows<1, 3>(c, lower, upper, ya, yb); break;
        case 3 * 4 + 1: WalkRows<3, 1>(c, lower, upper, ya, yb); break;
        default: break;  // no area: nothing to draw
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

// A triangle or quad as recorded. It is set up as the triangles 2 i and 2 i + 1 of its batch
// (i its place among the shapes): a quad that is not one polygon as its two triangles.
struct Rasterizer::Shape {
    // Filled field by field where it is recorded.
    Shape() {}

    ScreenVertex corner[4];
    uint8_t corners;
    uint8_t setUp;  // kFresh, kBusy or kDone, through atomic_ref once submitted
    uint8_t drawn;  // triangles set up
    DWORD cull;
    uint32_t state;
    int xmin, xmax, ymin, ymax;  // the pixels the corners' bounding box covers
};

Rasterizer::Rasterizer() = default;
Rasterizer::~Rasterizer() = default;

void Rasterizer::Begin(const RenderTargetView& target, int height) {
    Batch& batch = Recording();
    batch.target = target;
    batch.height = height;
    batch.bins.resize(static_cast<size_t>((height + kBandRows - 1) / kBandRows));
}

bool Rasterizer::Empty() const { return Recording().shapes.empty(); }

size_t Rasterizer::TriangleCount() const { return Recording().shapes.size(); }

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
    Record({&a, &b, &c, nullptr}, 3, state, cull);
    Bin();
}

void Rasterizer::AddQuad(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& d,
                         uint32_t state, DWORD cull) {
    Record({&a, &b, &c, &d}, 4, state, cull);
    Bin();
}

bool Rasterizer::AddQuadIfOnePolygon(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                                     const ScreenVertex& d, uint32_t state, DWORD cull) {
    Batch& batch = Recording();
    Shape& shape = Record({&a, &b, &c, &d}, 4, state, cull);
    const ScreenVertex* v[4] = {&a, &b, &c, &d};
    const SetUpResult result = batch.SetUp(v, 4, state, cull, batch.triangles[2 * (batch.shapes.size() - 1)]);
    if (result != SetUpResult::Drawn) {
        batch.shapes.pop_back();
        return result == SetUpResult::Nothing;
    }
    shape.drawn = 1;
    shape.setUp = kDone;
    Bin();
    return true;
}

Rasterizer::Shape& Rasterizer::Record(const ScreenVertex* const (&v)[4], int n, uint32_t state, DWORD cull) {
    Batch& batch = Recording();
    Shape& shape = batch.shapes.emplace_back();
    // The triangles stay from batch to batch: made only while the batches grow.
    if (batch.triangles.size() < 2 * batch.shapes.size()) batch.triangles.resize(2 * batch.shapes.size());
    for (int i = 0; i < n; ++i) shape.corner[i] = *v[i];
    shape.corners = static_cast<uint8_t>(n);
    shape.setUp = kFresh;
    shape.drawn = 0;
    shape.cull = cull;
    shape.state = state;
    return shape;
}

void Rasterizer::Bin() {
    Batch& batch = Recording();
    Shape& shape = batch.shapes.back();
    float left = shape.corner[0].x, right = left, top = shape.corner[0].y, bottom = top;
    for (int i = 1; i < shape.corners; ++i) {
        left = std::min(left, shape.corner[i].x);
        right = std::max(right, shape.corner[i].x);
        top = std::min(top, shape.corner[i].y);
        bottom = std::max(bottom, shape.corner[i].y);
    }
    // The pixels set-up finds within the corners' bounding box, rounded as it rounds them.
    const RECT& sc = batch.target.scissor;
    const int64_t xmin = std::max<int64_t>(sc.left, CeilDiv(RoundToInt(left * kSubPixel), kSubPixel));
    const int64_t xmax = std::min<int64_t>(sc.right - 1, FloorDiv(RoundToInt(right * kSubPixel), kSubPixel));
    const int64_t ymin = std::max<int64_t>(sc.top, CeilDiv(RoundToInt(top * kSubPixel), kSubPixel));
    const int64_t ymax = std::min<int64_t>(sc.bottom - 1, FloorDiv(RoundToInt(bottom * kSubPixel), kSubPixel));
    if (xmin > xmax || ymin > ymax) {
        batch.shapes.pop_back();
        return;
    }
    shape.xmin = static_cast<int>(xmin);
    shape.xmax = static_cast<int>(xmax);
    shape.ymin = static_cast<int>(ymin);
    shape.ymax = static_cast<int>(ymax);
    const uint32_t index = static_cast<uint32_t>(batch.shapes.size() - 1);
    for (auto band = static_cast<size_t>(ymin / kBandRows); band <= static_cast<size_t>(ymax / kBandRows); ++band)
        batch.bins[band].push_back(index);
}

namespace {

// Twice the signed area of the corner at b (positive: clockwise on a y-down screen).
int64_t Turn(const int64_t X[], const int64_t Y[], int a, int b, int c) {
    return (X[b] - X[a]) * (Y[c] - Y[a]) - (X[c] - X[a]) * (Y[b] - Y[a]);
}

// How far a quad's value at its fourth corner is off the plane through the other three, as
// a quarter: spreading that over the four corners (+, -, + at the first three) gives the
// plane that differs least from the quad's two triangles, by this much at any corner.
double QuarterDefect(const Plane& p, const double px[3], const double py[3], double x3, double y3, double f3) {
    return (f3 - (p.base + p.dx * (x3 - px[0]) + p.dy * (y3 - py[0]))) / 4;
}

}  // namespace

Rasterizer::SetUpResult Rasterizer::Batch::SetUp(const ScreenVertex* (&v)[4], int n, uint32_t state, DWORD cull,
                                     Triangle& t) const {
    int64_t X[4], Y[4];
    for (int i = 0; i < n; ++i) {
        X[i] = RoundToInt(v[i]->x * kSubPixel);
        Y[i] = RoundToInt(v[i]->y * kSubPixel);
    }
    const int64_t area = Turn(X, Y, 0, 1, 2);
    if (n == 4) {
        // Only a strictly convex quad: every corner turns the same way.
        for (int i = 0; i < 4; ++i) {
            const int64_t turn = Turn(X, Y, i, (i + 1) % 4, (i + 2) % 4);
            if (turn == 0 || (turn > 0) != (area > 0)) return SetUpResult::Split;
        }
    }
    // Positive area runs clockwise on screen (y grows downward).
    if (area == 0 || (cull == D3DCULL_CW && area > 0) || (cull == D3DCULL_CCW && area < 0)) return SetUpResult::Nothing;
    if (area < 0) {
        // Reverse the order so the inside lies to the right of every edge.
        std::swap(v[1], v[n - 1]);
        std::swap(X[1], X[n - 1]);
        std::swap(Y[1], Y[n - 1]);
    }
    const bool perspective = [&] {
        const float q0 = v[0]->q;
        for (int i = 1; i < n; ++i)
            if (std::fabs(v[i]->q - q0) > 1e-6f * std::fabs(q0)) return true;
        return false;
    }();
    bool flatColour = true;
    for (int i = 1; i < n; ++i)
        for (int k = 0; k < 4; ++k) flatColour = flatColour && v[i]->colour[k] == v[0]->colour[k];
    if (n == 4 && (perspective || !flatColour)) return SetUpResult::Split;

    const RECT& sc = target.scissor;
    const auto [minX, maxX] = std::minmax_element(X, X + n);
    const auto [minY, maxY] = std::minmax_element(Y, Y + n);
    t.xmin = static_cast<int>(std::max<int64_t>(sc.left, CeilDiv(*minX, kSubPixel)));
    t.xmax = static_cast<int>(std::min<int64_t>(sc.right - 1, FloorDiv(*maxX, kSubPixel)));
    t.ymin = static_cast<int>(std::max<int64_t>(sc.top, CeilDiv(*minY, kSubPixel)));
    t.ymax = static_cast<int>(std::min<int64_t>(sc.bottom - 1, FloorDiv(*maxY, kSubPixel)));
    if (t.xmin > t.xmax || t.ymin > t.ymax) return SetUpResult::Nothing;

    double px[3], py[3];
    for (int i = 0; i < 3; ++i) {
        px[i] = static_cast<double>(X[i]) / kSubPixel;
        py[i] = static_cast<double>(Y[i]) / kSubPixel;
    }
    // The planes come from the first three corners in their final order.
    const double inverseArea = static_cast<double>(kSubPixel * kSubPixel) / static_cast<double>(Turn(X, Y, 0, 1, 2));
    t.ox = static_cast<float>(px[0]);
    t.oy = static_cast<float>(py[0]);
    const auto plane = [&](auto value) {
        const double f[3] = {value(*v[0]), value(*v[1]), value(*v[2])};
        return MakePlane(px, py, f, inverseArea);
    };
    // A quad stands for its two triangles as one polygon where the plane that fits all four
    // corners best strays from them by at most the tolerance; otherwise it is drawn split.
    const auto fit = [&](auto value, double tolerance, Plane& out) {
        double f[3] = {value(*v[0]), value(*v[1]), value(*v[2])};
        out = MakePlane(px, py, f, inverseArea);
        if (n == 3) return true;
        const double quarter = QuarterDefect(out, px, py, static_cast<double>(X[3]) / kSubPixel,
                                             static_cast<double>(Y[3]) / kSubPixel, value(*v[3]));
        if (!(std::fabs(quarter) <= tolerance)) return false;  // NaN from absurd values too
        f[0] += quarter;
        f[1] -= quarter;
        f[2] += quarter;
        out = MakePlane(px, py, f, inverseArea);
        return true;
    };
    const auto weight = [&](const ScreenVertex& sv) { return perspective ? static_cast<double>(sv.q) : 1.0; };
    const DrawState& st = states[state];
    // Only the planes the spans will read.
    t.q = perspective ? plane([&](const ScreenVertex& sv) { return weight(sv); }) : Plane{1, 0, 0};
    const auto depth = [](const ScreenVertex& sv) { return static_cast<double>(sv.z); };
    // Texel scale from the unweighted coordinates; the weighted planes interpolate.
    const auto s = [](const ScreenVertex& sv) { return static_cast<double>(sv.s); };
    const auto u = [](const ScreenVertex& sv) { return static_cast<double>(sv.t); };
    // Most quads that fail are known here, before their edges cost divisions.
    if ((st.depthTest && !fit(depth, kDepthTolerance, t.z)) ||
        (st.textured && (!fit(s, kTexelTolerance, t.s) || !fit(u, kTexelTolerance, t.t))))
        return SetUpResult::Split;

    t.edgeCount = static_cast<uint8_t>(n);
    for (int i = 0; i < n; ++i) {
        const int j = (i + 1) % n;
        const int64_t ea = Y[i] - Y[j], eb = X[j] - X[i];
        const bool topLeft = ea > 0 || (ea == 0 && eb > 0);
        const Edge& edge = t.edge[i] =
            MakeEdge(ea * kSubPixel, eb * kSubPixel, X[i] * Y[j] - X[j] * Y[i] - (topLeft ? 0 : 1), Y[i], Y[j]);
        // A horizontal edge covers the rows where b * y + c >= 0: it limits the row range.
        if (edge.a == 0 && edge.b > 0) t.ymin = std::max<int64_t>(t.ymin, CeilDiv(-edge.c, edge.b));
        if (edge.a == 0 && edge.b < 0) t.ymax = std::min<int64_t>(t.ymax, FloorDiv(edge.c, -int64_t{edge.b}));
    }
    if (t.ymin > t.ymax) return SetUpResult::Nothing;

    t.linear = false;
    if (st.textured) {
        t.linear = ChoosesLinear(t, st.sampler) && (perspective || !MapsTexelsOneToOne(t));
        if (perspective) {
            t.s = plane([&](const ScreenVertex& sv) { return sv.s * weight(sv); });
            t.t = plane([&](const ScreenVertex& sv) { return sv.t * weight(sv); });
        }
    }
    t.flatColour = flatColour;
    if (!flatColour)
        for (int k = 0; k < 4; ++k) t.colour[k] = plane([&](const ScreenVertex& sv) { return sv.colour[k] * weight(sv); });
    t.flat = PackColour(v[0]->colour, 1.0f);
    t.state = state;
    ChooseSpan(t, perspective, st, target);
    return SetUpResult::Drawn;
}

void Rasterizer::Batch::SetUpOnce(uint32_t index) {
    Shape& shape = shapes[index];
    std::atomic_ref<uint8_t> setUp(shape.setUp);
    if (setUp.load(std::memory_order_acquire) == kDone) return;
    uint8_t fresh = kFresh;
    if (!setUp.compare_exchange_strong(fresh, kBusy, std::memory_order_acquire)) {
        // Another band's thread is setting it up, a matter of a microsecond.
        for (int spins = 0; setUp.load(std::memory_order_acquire) != kDone; ++spins) {
            if (spins < 256)
                _mm_pause();
            else
                std::this_thread::yield();
        }
        return;
    }
    const ScreenVertex* const c = shape.corner;
    const ScreenVertex* v[4] = {&c[0], &c[1], &c[2], &c[3]};
    Triangle* const out = &triangles[2 * size_t{index}];
    const SetUpResult result = SetUp(v, shape.corners, shape.state, shape.cull, out[0]);
    int drawn = result == SetUpResult::Drawn;
    if (result == SetUpResult::Split) {
        // a, b, c then a, c, d
        for (const int second : {1, 2}) {
            const ScreenVertex* triangle[4] = {&c[0], &c[second], &c[second + 1], nullptr};
            drawn += SetUp(triangle, 3, shape.state, shape.cull, out[drawn]) == SetUpResult::Drawn;
        }
    }
    shape.drawn = static_cast<uint8_t>(drawn);
    setUp.store(kDone, std::memory_order_release);
}

void Rasterizer::Batch::PrefetchPixels(const Shape& box, int y0, int y1) const {
    const int ya = std::max(box.ymin, y0), yb = std::min(box.ymax, y1 - 1);
    const int bpp = BytesPerPixel(target.format);
    // The first lines of each row and its last: all of a sprite's, without a loop per row;
    // the processor's own prefetching follows longer rows.
    for (int y = ya; y <= yb; ++y) {
        const uint8_t* row = target.bits + static_cast<size_t>(y) * target.pitch;
        const uint8_t* first = row + static_cast<size_t>(box.xmin) * bpp;
        const uint8_t* last = row + static_cast<size_t>(box.xmax) * bpp;
        __builtin_prefetch(first, 1);
        __builtin_prefetch(std::min(first + 64, last), 1);
        __builtin_prefetch(std::min(first + 128, last), 1);
        __builtin_prefetch(last, 1);
    }
}

void Rasterizer::Batch::RasteriseBand(int band) {
    const int y0 = band * kBandRows, y1 = std::min(y0 + kBandRows, height);
    const std::vector<uint32_t>& bin = bins[band];
    // The band's shapes lie scattered through the batch, and so do the target pixels they
    // cover: ask for the records ahead (a shape and both its triangles: most rotated sprites
    // are drawn as two), and for the pixels once the record is in.
    constexpr size_t kAhead = 8, kPixelsAhead = 4;
    const auto prefetch = [](const void* record, size_t bytes) {
        for (size_t line = 0; line < bytes; line += 64) __builtin_prefetch(static_cast<const char*>(record) + line);
    };
    for (size_t i = 0; i < bin.size(); ++i) {
        if (i + kAhead < bin.size()) {
            prefetch(&shapes[bin[i + kAhead]], sizeof(Shape));
            prefetch(&triangles[2 * size_t{bin[i + kAhead]}], 2 * sizeof(Triangle));
        }
        if (i + kPixelsAhead < bin.size()) PrefetchPixels(shapes[bin[i + kPixelsAhead]], y0, y1);
        SetUpOnce(bin[i]);
        const Triangle* const set = &triangles[2 * size_t{bin[i]}];
        for (int k = 0; k < shapes[bin[i]].drawn; ++k)
            RasteriseRows(SpanContext{set[k], states[set[k].state], target}, y0, y1);
    }
}

void Rasterizer::Batch::Clear() {
    shapes.clear();
    states.clear();
    for (auto& bin : bins) bin.clear();
}

void Rasterizer::Submit(ThreadPool& pool) {
    Batch& batch = Recording();
    if (batch.shapes.empty()) return;
    // Behind the batch in flight band by band: the workers go on with this one as soon as
    // they have drawn their band of the other.
    pool.Chain(static_cast<int>(batch.bins.size()), [&batch](int band) { batch.RasteriseBand(band); });
    pool.WaitOlder();
    if (inFlight_) batches_[recording_ ^ 1].Clear();
    inFlight_ = true;
    recording_ ^= 1;
}

void Rasterizer::Execute(ThreadPool& pool) {
    Batch& batch = Recording();
    if (!batch.shapes.empty())
        pool.Chain(static_cast<int>(batch.bins.size()), [&batch](int band) { batch.RasteriseBand(band); });
    pool.Wait();
    for (Batch& b : batches_) b.Clear();
    inFlight_ = false;
}
