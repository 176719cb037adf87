#include "platform/d3d9/pending_reads.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Past this many reads the oldest merge into one rectangle: the list stays short.
constexpr std::size_t kMostReads = 1024;
// Texel centres lie half a texel in: a bilinear sample at coordinate c reads the texels
// from floor(c - 0.5) to floor(c + 0.5), a point sample one of them.
constexpr float kFilterReach = 0.5f;

RECT Union(const RECT& a, const RECT& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The texel span [first, end) that coordinates in [low, high] can sample, within size.
void Span(float low, float high, int size, bool wrap, LONG& first, LONG& end) {
    const float s = static_cast<float>(size);
    if (!std::isfinite(low) || !std::isfinite(high) || (wrap && (low < 0.0f || high > 1.0f))) {
        first = 0;
        end = size;
        return;
    }
    first = static_cast<LONG>(std::clamp(std::floor(low * s - kFilterReach), 0.0f, s));
    end = static_cast<LONG>(std::clamp(std::ceil(high * s + kFilterReach), 0.0f, s));
}

}  // namespace

void PendingReads::Note(uint64_t batch, const RECT& texels) {
    if (reads_.size() >= kMostReads) {
        Read merged = reads_.front();
        for (const Read& read : reads_) merged.texels = Union(merged.texels, read.texels);
        merged.batch = reads_.back().batch;
        reads_.assign(1, merged);
    }
    reads_.push_back({batch, texels});
}

RECT TexelBounds(const uint8_t* vertices, unsigned count, unsigned stride, unsigned uvOffset, int width, int height,
                 bool wrapU, bool wrapV) {
    float uv[2];
    float lowU = INFINITY, highU = -INFINITY, lowV = INFINITY, highV = -INFINITY;
    for (unsigned i = 0; i < count; ++i) {
        std::memcpy(uv, vertices + static_cast<std::size_t>(i) * stride + uvOffset, sizeof uv);
        // NaN spreads into the bounds (min and max would drop it), and then all is sampled.
        lowU = uv[0] < lowU || std::isnan(uv[0]) ? uv[0] : lowU;
        highU = uv[0] > highU || std::isnan(uv[0]) ? uv[0] : highU;
        lowV = uv[1] < lowV || std::isnan(uv[1]) ? uv[1] : lowV;
        highV = uv[1] > highV || std::isnan(uv[1]) ? uv[1] : highV;
    }
    RECT r{};
    Span(lowU, highU, width, wrapU, r.left, r.right);
    Span(lowV, highV, height, wrapV, r.top, r.bottom);
    return r;
}
