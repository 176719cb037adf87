#pragma once
// A set-up triangle and the span functions that draw one row of it.
#include <cstdint>

#include "platform/d3d9/rasterizer.h"

// Covered where a * x + b * y + c >= 0 at the pixel centre (x, y). Within the guard band
// a and b fit 32 bits. The bound on x that the edge sets moves by stepQuotient plus
// stepRemainder / |a| from one row to the next. The edge reaches the rows firstRow..lastRow
// (their centres lie within its height).
struct Edge {
    int64_t c;
    int32_t a, b;
    int32_t stepQuotient;
    uint32_t stepRemainder;
    int32_t firstRow, lastRow;
};

// value(x, y) = base + dx * (x - ox) + dy * (y - oy)
struct Plane {
    float base = 0, dx = 0, dy = 0;
};

// A plane in 32.32 fixed point: the value at pixel (0, 0) and the steps along x and y, as
// the bits of signed values (unsigned arithmetic wraps where absurd values would overflow).
struct FixedPlane {
    uint64_t base = 0, dx = 0, dy = 0;

    uint64_t At(int x, int y) const { return base + dx * static_cast<uint64_t>(x) + dy * static_cast<uint64_t>(y); }
};

// The pixels xl[i]..xr[i] of the rows y0 + i, i < count, of one triangle within one band;
// a row with xl > xr has none.
struct RowSpans {
    static constexpr int kMost = 16;
    int y0 = 0, count = 0;
    int xl[kMost], xr[kMost];
};

struct Triangle;
struct SpanContext;
// Draws a triangle's rows in one call, so the work that serves all of them is done once.
using SpanFunction = void (*)(const SpanContext& c, const RowSpans& rows);

// A triangle, or a convex quad that stands for two triangles.
struct Triangle {
    // Set up field by field where it is recorded: no zero fill of a record this large (edges
    // past edgeCount stay unset and unread).
    Triangle() {}

    Edge edge[4];
    uint8_t edgeCount;
    int xmin, xmax, ymin, ymax;
    float ox, oy;
    Plane q, s, t, z, colour[4];
    uint32_t flat;
    uint32_t state;
    bool flatColour;
    bool linear;
    SpanFunction span;
    FixedPlane fixedS, fixedT;  // texel coordinates for the fast spans

    float At(const Plane& p, int x, int y) const { return p.base + p.dx * (x - ox) + p.dy * (y - oy); }
};

struct SpanContext {
    const Triangle& tri;
    const DrawState& state;
    const RenderTargetView& target;
};

// Picks the span function for a set-up triangle, and prepares what it reads.
void ChooseSpan(Triangle& t, bool perspective, const DrawState& st, const RenderTargetView& target);
// The widest registers (128, 256 or 512 bits) the spans chosen from now on use: bits, or
// the processor's widest if narrower (the default). Returns those in use. For tests of
// every path.
int UseSpanRegisters(int bits);
