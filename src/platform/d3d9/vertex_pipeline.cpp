#include "platform/d3d9/vertex_pipeline.h"

#include <cmath>
#include <cstring>
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

ClipVertex VertexPipeline::Transform(const uint8_t* vertex, float texWidth, float texHeight, bool blackColour) const {
    float pos[3], uv[2];
    uint32_t colour;
    std::memcpy(pos, vertex, 12);
    std::memcpy(&colour, vertex + 12, 4);
    std::memcpy(uv, vertex + 16, 8);
    const auto& m = projection_.m;
    ClipVertex v;
    v.x = pos[0] * m[0][0] + pos[1] * m[1][0] + pos[2] * m[2][0] + m[3][0];
    v.y = pos[0] * m[0][1] + pos[1] * m[1][1] + pos[2] * m[2][1] + m[3][1];
    v.z = pos[0] * m[0][2] + pos[1] * m[1][2] + pos[2] * m[2][2] + m[3][2];
    v.w = pos[0] * m[0][3] + pos[1] * m[1][3] + pos[2] * m[2][3] + m[3][3];
    v.s = uv[0] * texWidth;
    v.t = uv[1] * texHeight;
    v.colour[0] = static_cast<float>(colour & 0xFF);
    v.colour[1] = static_cast<float>(colour >> 8 & 0xFF);
    v.colour[2] = static_cast<float>(colour >> 16 & 0xFF);
    v.colour[3] = static_cast<float>(colour >> 24);
    if (blackColour) v.colour[0] = v.colour[1] = v.colour[2] = 0;
    return v;
}

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

Outcode VertexPipeline::Classify(const ClipVertex& v) const {
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) || !std::isfinite(v.w) ||
        !std::isfinite(v.s) || !std::isfinite(v.t))
        return kOutsideAll;
    // The planes in Distance's order, without a branch for each.
    const float guardW = guardX_ * v.w, guardH = guardY_ * v.w;
    const auto outside = [](float distance, int plane) { return static_cast<Outcode>(distance < 0) << plane; };
    return outside(v.w - kMinW, 0) | outside(v.z, 1) | outside(v.w - v.z, 2) | outside(guardW + v.x, 3) |
           outside(guardW - v.x, 4) | outside(guardH + v.y, 5) | outside(guardH - v.y, 6);
}

// Flattened: the calls for each vertex cost as much as their work.
[[gnu::flatten]] void VertexPipeline::TransformAll(const uint8_t* vertices, size_t count, float texWidth, float texHeight,
                                  bool blackColour, ClipVertex* clip, Outcode* outcodes, ScreenVertex* screen) const {
    for (size_t i = 0; i < count; ++i) {
        clip[i] = Transform(vertices + i * kVertexStride, texWidth, texHeight, blackColour);
        outcodes[i] = Classify(clip[i]);
        if (outcodes[i] == 0) screen[i] = ToScreen(clip[i]);
    }
}

ScreenVertex VertexPipeline::ToScreen(const ClipVertex& v) const {
    const float q = 1.0f / v.w;
    ScreenVertex s;
    s.x = (v.x * q + 1) * vpHalfW_ + vpX_;
    s.y = (1 - v.y * q) * vpHalfH_ + vpY_;
    s.z = minZ_ + v.z * q * depthRange_;
    s.q = q;
    s.s = v.s;
    s.t = v.t;
    for (int k = 0; k < 4; ++k) s.colour[k] = v.colour[k];
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
