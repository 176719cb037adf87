#pragma once
// A set-up triangle and the span functions that draw one row of it.
#include <cstdint>

#include "platform/d3d9/rasterizer.h"

// Covered where a * x + b * y + c >= 0 at the pixel centre (x, y).
struct Edge {
    int64_t a, b, c;
};

// value(x, y) = base + dx * (x - ox) + dy * (y - oy)
struct Plane {
    float base = 0, dx = 0, dy = 0;
};

enum class SpanKind : uint8_t { Solid, FastPoint, FastLinear, Generic, GenericPerspective };

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

struct SpanContext {
    const Triangle& tri;
    const DrawState& state;
    const RenderTargetView& target;
};

// The span function for a triangle of these properties.
SpanKind ChooseSpan(const Triangle& t, bool perspective, const DrawState& st, const RenderTargetView& target);
// Draws the pixels xl..xr of row y.
void DrawSpan(const SpanContext& c, int y, int xl, int xr);
