#pragma once
// From the client's vertices to screen vertices: projection, clipping against the near and
// far planes and a guard band around the viewport, perspective division, viewport mapping.
#include <cstdint>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/rasterizer.h"

// A vertex in clip space with its attributes (texel coordinates, colour b, g, r, a).
struct ClipVertex {
    float x, y, z, w;
    float s, t;
    float colour[4];
};

// Bytes a client vertex {x, y, z; colour; u, v} takes.
constexpr UINT kVertexStride = 24;

// Clip-plane bits a vertex lies outside of; kOutsideAll marks a vertex that cannot be drawn.
using Outcode = uint32_t;
constexpr Outcode kOutsideAll = 0x80;
// A triangle clipped by all planes has at most this many corners.
constexpr int kMaxClipVertices = 10;

class VertexPipeline {
public:
    void SetViewport(const D3DVIEWPORT9& viewport);
    void SetProjection(const D3DMATRIX& projection) { projection_ = projection; }

    ScreenVertex ToScreen(const ClipVertex& v) const;
    // Transforms count 24-byte vertices {x, y, z; colour; u, v} in a row (texture
    // coordinates scaled to texels), classifies them, and maps those inside every plane to
    // the screen (the others' screen vertices are left as they were).
    void TransformAll(const uint8_t* vertices, size_t count, float texWidth, float texHeight, bool blackColour,
                      ClipVertex* clip, Outcode* outcodes, ScreenVertex* screen) const;
    // Clips a triangle whose corners lie outside the planes in `outside`; returns the
    // corner count of the convex polygon left (0 to kMaxClipVertices).
    int Clip(const ClipVertex (&triangle)[3], Outcode outside, ClipVertex (&out)[kMaxClipVertices]) const;

    // What a draw's vertices share, in registers.
    struct Constants;

private:
    float Distance(const ClipVertex& v, int plane) const;

    D3DMATRIX projection_{};
    float vpX_ = 0, vpY_ = 0, vpHalfW_ = 1, vpHalfH_ = 1, minZ_ = 0, depthRange_ = 1;
    float guardX_ = 1, guardY_ = 1;
};
