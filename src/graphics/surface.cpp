#include "graphics/surface.h"

#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

int ChannelOf(uint32_t pixel, int index) { return static_cast<int>((pixel >> (8 * index)) & 0xFF); }

uint32_t WithAlpha(uint32_t pixel, uint32_t alpha) { return (pixel & 0x00FFFFFFu) | (alpha << 24); }

uint32_t PackUnit(float value) { return static_cast<uint32_t>(std::clamp(value, 0.0f, 1.0f) * 255.001f); }

// Runs `apply(sourcePixel, destinationPixel)` for every source pixel landing inside the destination.
template <typename Apply>
void ForEachOverlap(const Surface& source, Surface& destination, int x, int y, Apply apply) {
    if (!source.pixels || !destination.pixels) return;
    const int firstX = std::max(0, -x), lastX = std::min(source.width, destination.width - x);
    const int firstY = std::max(0, -y), lastY = std::min(source.height, destination.height - y);
    for (int sy = firstY; sy < lastY; ++sy) {
        const uint32_t* from = source.Row(sy);
        uint32_t* to = destination.Row(sy + y) + x;
        for (int sx = firstX; sx < lastX; ++sx) to[sx] = apply(from[sx], to[sx]);
    }
}

template <typename Change>
void ForEachPixel(Surface& surface, Change change) {
    const std::size_t count = surface.pixels ? surface.PixelCount() : 0;
    for (std::size_t i = 0; i < count; ++i) surface.pixels[i] = change(surface.pixels[i]);
}

// Coordinates beyond this are outside any surface and would overflow integer conversions.
constexpr float kCoordinateLimit = 1.0e6f;

bool SaneCoordinate(float value) { return std::isfinite(value) && std::fabs(value) < kCoordinateLimit; }

}  // namespace

Surface::Surface(Surface&& other) noexcept { *this = std::move(other); }

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this == &other) return *this;
    width = std::exchange(other.width, 0);
    height = std::exchange(other.height, 0);
    pixels = std::exchange(other.pixels, nullptr);
    hasAlpha = std::exchange(other.hasAlpha, false);
    ownsPixels = std::exchange(other.ownsPixels, true);
    owned_ = std::move(other.owned_);
    return *this;
}

void Surface::Create(int newWidth, int newHeight, bool alpha) {
    newWidth = std::max(newWidth, 0);
    newHeight = std::max(newHeight, 0);
    if (!pixels || newWidth != width || newHeight != height) {
        const std::size_t count = static_cast<std::size_t>(newWidth) * static_cast<std::size_t>(newHeight);
        Adopt(std::make_unique<uint32_t[]>(count), newWidth, newHeight, alpha);
    }
    hasAlpha = alpha;
    std::fill_n(pixels, PixelCount(), 0u);
}

void Surface::Clear() { *this = Surface(); }

void Surface::Adopt(std::unique_ptr<uint32_t[]> buffer, int newWidth, int newHeight, bool alpha) {
    owned_ = std::move(buffer);
    pixels = owned_.get();
    width = newWidth;
    height = newHeight;
    hasAlpha = alpha;
    ownsPixels = true;
}

void Surface::View(uint32_t* buffer, int newWidth, int newHeight, bool alpha) {
    owned_.reset();
    pixels = buffer;
    width = newWidth;
    height = newHeight;
    hasAlpha = alpha;
    ownsPixels = false;
}

void AttachBuffer(Surface& surface, int width, int height, std::vector<uint32_t>& shared) {
    const std::size_t count = static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
    if (shared.size() < count) shared.resize(count);
    surface.View(shared.data(), width, height, true);
}

void CreateFromAlpha(Surface& surface, int width, int height, const uint8_t* alpha) {
    surface.Create(width, height, true);
    for (std::size_t i = 0; i < surface.PixelCount(); ++i) surface.pixels[i] = 0x00FFFFFFu | uint32_t{alpha[i]} << 24;
}

std::unique_ptr<Surface> NewPaddedCopy(const Surface& source, int width, int height) {
    auto copy = std::make_unique<Surface>();
    copy->Create(width, height, source.hasAlpha);
    if (source.pixels)
        BlitRect(source.pixels, source.width, source.height, source.width, 0, 0, width, height, copy->pixels, width);
    return copy;
}

std::unique_ptr<Surface> NewSubSurface(const Surface& source, int left, int top, int right, int bottom) {
    left = std::clamp(left, 0, source.width);
    right = std::clamp(right, 0, source.width);
    top = std::clamp(top, 0, source.height);
    bottom = std::clamp(bottom, 0, source.height);
    if (left >= right || top >= bottom || !source.pixels) return nullptr;
    auto sub = std::make_unique<Surface>();
    sub->Create(right - left, bottom - top, source.hasAlpha);
    BlitRect(source.pixels, source.width, source.height, source.width, left, top, right, bottom, sub->pixels,
             sub->width);
    return sub;
}

void BlitRect(const uint32_t* source, int sourceWidth, int sourceHeight, int sourcePitch, int left, int top,
              int right, int bottom, uint32_t* destination, int destinationPitch) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min({right, sourceWidth, left + destinationPitch});
    bottom = std::min(bottom, sourceHeight);
    if (left >= right) return;
    for (int y = top; y < bottom; ++y)
        std::memcpy(destination + static_cast<std::size_t>(y - top) * destinationPitch,
                    source + static_cast<std::size_t>(y) * sourcePitch + left,
                    static_cast<std::size_t>(right - left) * 4);
}

void RotateClockwise(Surface& surface) {
    if (!surface.pixels) return;
    const int w = surface.width, h = surface.height;
    auto turned = std::make_unique<uint32_t[]>(surface.PixelCount());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) turned[static_cast<std::size_t>(x) * h + (h - 1 - y)] = surface.Row(y)[x];
    surface.Adopt(std::move(turned), h, w, surface.hasAlpha);
}

void RotateCounterClockwise(Surface& surface) {
    if (!surface.pixels) return;
    static std::vector<uint32_t> turned;
    const int w = surface.width, h = surface.height;
    if (turned.size() < surface.PixelCount()) turned.resize(surface.PixelCount());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) turned[static_cast<std::size_t>(w - 1 - x) * h + y] = surface.Row(y)[x];
    std::copy_n(turned.begin(), surface.PixelCount(), surface.pixels);
    surface.width = h;
    surface.height = w;
}

void CopyAlphaFrom(Surface& surface, const Surface& alphaImage) {
    // The alpha image's blue byte carries the alpha.
    ForEachOverlap(alphaImage, surface, 0, 0,
                   [](uint32_t alpha, uint32_t pixel) { return WithAlpha(pixel, (alpha >> 16) & 0xFF); });
}

uint32_t BlendColorOver(uint32_t source, uint32_t destination) {
    const float as = ChannelOf(source, 3) / 255.0f, ad = ChannelOf(destination, 3) / 255.0f;
    const float a = as + (1.0f - as) * ad;
    // Nothing over nothing stays nothing; dividing by the zero alpha would make NaN channels.
    if (a <= 0.0f) return 0;
    uint32_t result = PackUnit(a) << 24;
    for (int channel = 0; channel < 3; ++channel) {
        const float cs = ChannelOf(source, channel) / 255.0f, cd = ChannelOf(destination, channel) / 255.0f;
        result |= PackUnit(((1.0f - as) * ad * cd + as * cs) / a) << (8 * channel);
    }
    return result;
}

uint32_t ScaleAlpha(uint32_t pixel, float factor) {
    const float alpha = std::clamp(ChannelOf(pixel, 3) / 255.0f * factor, 0.0f, 1.0f);
    return WithAlpha(pixel, static_cast<uint32_t>(alpha * 255.0f));
}

void BlendSurfaceAt(const Surface& source, Surface& destination, int x, int y, float factor) {
    ForEachOverlap(source, destination, x, y, [factor](uint32_t from, uint32_t to) {
        return BlendColorOver(factor == 1.0f ? from : ScaleAlpha(from, factor), to);
    });
}

void BlitSurfaceAt(const Surface& source, Surface& destination, int x, int y) {
    ForEachOverlap(source, destination, x, y, [](uint32_t from, uint32_t) { return from; });
}

void DirectionalBlur(Surface& surface, int dx, int dy, int radius, float strength) {
    if (!surface.pixels) return;
    static std::vector<uint32_t> shared;
    Surface buffer;
    AttachBuffer(buffer, surface.width, surface.height, shared);
    std::fill_n(buffer.pixels, buffer.PixelCount(), 0u);
    const float c = 1.0f / static_cast<float>(radius + 1);
    for (int i = -radius; i <= radius; ++i)
        BlendSurfaceAt(surface, buffer, i * dx, i * dy, c * (1.0f - c * static_cast<float>(std::abs(i))) * strength);
    CopyResized(buffer, surface);
}

void FillRect(Surface& surface, int x, int y, int width, int height, uint32_t colour) {
    if (!surface.pixels) return;
    const int left = std::max(x, 0), right = std::min(x + width, surface.width);
    const int top = std::max(y, 0), bottom = std::min(y + height, surface.height);
    for (int row = top; row < bottom && left < right; ++row) std::fill(surface.Row(row) + left, surface.Row(row) + right, colour);
}

uint32_t LerpColor(uint32_t a, uint32_t b, float t) {
    uint32_t result = 0xFF000000u;
    for (int channel = 0; channel < 3; ++channel) {
        const float from = static_cast<float>(ChannelOf(a, channel)), to = static_cast<float>(ChannelOf(b, channel));
        result |= static_cast<uint32_t>(std::clamp(from + (to - from) * t, 0.0f, 255.0f)) << (8 * channel);
    }
    return result;
}

void VerticalGradient(Surface& surface, uint32_t top, uint32_t bottom) {
    if ((top & 0x00FFFFFFu) == (bottom & 0x00FFFFFFu) || !surface.pixels) return TintSurface(surface, top);
    for (int y = 0; y < surface.height; ++y) {
        const uint32_t colour = LerpColor(top, bottom, static_cast<float>(y) / static_cast<float>(surface.height));
        uint32_t* row = surface.Row(y);
        for (int x = 0; x < surface.width; ++x) row[x] = (row[x] & 0xFF000000u) | (colour & 0x00FFFFFFu);
    }
}

void TintSurface(Surface& surface, uint32_t colour) {
    ForEachPixel(surface, [colour](uint32_t pixel) { return (pixel & 0xFF000000u) | (colour & 0x00FFFFFFu); });
}

void PlotCoverage(int x, int y, float coverage, Surface& surface) {
    if (!surface.pixels || x < 0 || y < 0 || x >= surface.width || y >= surface.height) return;
    uint32_t& pixel = surface.Row(y)[x];
    pixel = BlendColorOver(WithAlpha(0x00FFFFFFu, PackUnit(coverage)), pixel);
}

namespace {

float FractionalPart(float v) { return v - std::floor(v); }
float ReverseFraction(float v) { return 1.0f - FractionalPart(v); }

struct WuPlotter {
    Surface& surface;
    bool steep;
    void operator()(int major, int minor, float coverage) const {
        if (steep)
            PlotCoverage(minor, major, coverage, surface);
        else
            PlotCoverage(major, minor, coverage, surface);
    }
};

// One end point of a Wu line; returns the end's pixel on the major axis.
int PlotLineEnd(const WuPlotter& plot, float major, float minor, float gradient, bool isStart) {
    const float end = std::round(major);
    const float at = minor + gradient * (end - major);
    const float gap = isStart ? ReverseFraction(major + 0.5f) : FractionalPart(major + 0.5f);
    const int pixel = static_cast<int>(end), row = static_cast<int>(std::floor(at));
    plot(pixel, row, ReverseFraction(at) * gap);
    plot(pixel, row + 1, FractionalPart(at) * gap);
    return pixel;
}

}  // namespace

void DrawLineAA(float x0, float y0, float x1, float y1, Surface& surface) {
    if (!SaneCoordinate(x0) || !SaneCoordinate(y0) || !SaneCoordinate(x1) || !SaneCoordinate(y1)) return;
    const bool steep = std::fabs(y1 - y0) > std::fabs(x1 - x0);
    if (steep) {
        std::swap(x0, y0);
        std::swap(x1, y1);
    }
    if (x0 > x1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const float dx = x1 - x0;
    const float gradient = dx == 0.0f ? 1.0f : (y1 - y0) / dx;
    const WuPlotter plot{surface, steep};
    const int first = PlotLineEnd(plot, x0, y0, gradient, true);
    const int last = PlotLineEnd(plot, x1, y1, gradient, false);
    // Only the span that can touch the surface is walked.
    const int extent = steep ? surface.height : surface.width;
    const int begin = std::max(first + 1, 0), end = std::min(last, extent);
    float minor = y0 + gradient * (std::round(x0) - x0) + gradient * static_cast<float>(begin - first);
    for (int major = begin; major < end; ++major, minor += gradient) {
        const int row = static_cast<int>(std::floor(minor));
        plot(major, row, ReverseFraction(minor));
        plot(major, row + 1, FractionalPart(minor));
    }
}

namespace {

void FillPolygonWhite(const std::vector<SurfacePoint>& polygon, Surface& surface) {
    agg::rendering_buffer buffer(reinterpret_cast<agg::int8u*>(surface.pixels), surface.width, surface.height,
                                 surface.width * 4);
    agg::pixfmt_rgba32 format(buffer);
    agg::renderer_base<agg::pixfmt_rgba32> base(format);
    agg::rasterizer_scanline_aa<> rasterizer;
    agg::scanline_u8 scanline;
    rasterizer.move_to_d(polygon[0].x, polygon[0].y);
    for (std::size_t i = 1; i < polygon.size(); ++i) rasterizer.line_to_d(polygon[i].x, polygon[i].y);
    rasterizer.close_polygon();
    agg::render_scanlines_aa_solid(rasterizer, scanline, base, agg::rgba8(255, 255, 255, 255));
}

bool SamePoint(const SurfacePoint& a, const SurfacePoint& b) { return a.x == b.x && a.y == b.y; }

}  // namespace

void StrokePolyline(const SurfacePoint* points, int count, float width, Surface& surface) {
    // Reused across calls; grows with the longest outline seen.
    static std::vector<SurfacePoint> store, polygon;
    store.clear();
    for (int i = 0; i < count; ++i) {
        if (!SaneCoordinate(points[i].x) || !SaneCoordinate(points[i].y)) return;
        if (store.empty() || !SamePoint(store.back(), points[i])) store.push_back(points[i]);
    }
    while (store.size() > 1 && SamePoint(store.back(), store.front())) store.pop_back();
    const std::size_t n = store.size();
    if (n < 2 || !surface.pixels) return;
    if (width == 1.0f) {
        for (std::size_t i = 0; i < n; ++i) {
            const SurfacePoint& a = store[i];
            const SurfacePoint& b = store[(i + 1) % n];
            DrawLineAA(a.x, a.y, b.x, b.y, surface);
        }
        return;
    }
    polygon.resize(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const SurfacePoint& p = store[i];
        const SurfacePoint& next = store[(i + 1) % n];
        const float dx = next.x - p.x, dy = next.y - p.y;
        const float scale = width * 0.5f / std::sqrt(dx * dx + dy * dy);
        polygon[i] = {p.x + dy * scale, p.y - dx * scale};
        polygon[2 * n - 1 - i] = {p.x - dy * scale, p.y + dx * scale};
    }
    FillPolygonWhite(polygon, surface);
}

bool NextPowerOfTwo(int& width, int& height) {
    auto round = [](int v) {
        int p = 1;
        while (p < v && p < (1 << 30)) p <<= 1;
        return p;
    };
    const int w = round(width), h = round(height);
    const bool changed = w != width || h != height;
    width = w;
    height = h;
    return changed;
}

bool ExtendEdges(int imageWidth, uint32_t* pixels, int paddedWidth, int imageHeight, int paddedHeight) {
    if (imageWidth >= paddedWidth && imageHeight >= paddedHeight) return false;
    if (imageWidth < 1 || imageHeight < 1 || !pixels) return true;
    const auto row = [&](int y) { return pixels + static_cast<std::size_t>(y) * paddedWidth; };
    const bool extraColumn = imageWidth < paddedWidth;
    if (extraColumn)
        for (int y = 0; y < imageHeight; ++y) row(y)[imageWidth] = row(y)[imageWidth - 1];
    if (imageHeight < paddedHeight) std::copy_n(row(imageHeight - 1), imageWidth + (extraColumn ? 1 : 0), row(imageHeight));
    return true;
}

void CopyResized(const Surface& source, Surface& destination) {
    if (!source.pixels || !destination.pixels) return;
    if (source.width == destination.width && source.height == destination.height)
        std::copy_n(source.pixels, source.PixelCount(), destination.pixels);
    else
        ResampleBox(source.pixels, source.width, source.height, source.width, destination.pixels, destination.width,
                    destination.height, destination.width);
    destination.hasAlpha = source.hasAlpha;
}

void CopyPixelRows(Surface& surface, const uint8_t* source, int bytesPerPixel, int sourceRowLength) {
    if (!surface.pixels || bytesPerPixel < 1) return;
    const int copied = std::min(bytesPerPixel, 4);
    for (int y = 0; y < surface.height; ++y) {
        const uint8_t* from = source + static_cast<std::size_t>(y) * sourceRowLength;
        uint32_t* to = surface.Row(y);
        for (int x = 0; x < surface.width; ++x, from += bytesPerPixel) {
            to[x] = 0;
            std::memcpy(&to[x], from, copied);
        }
    }
}

void SetOpaque(Surface& surface) {
    ForEachPixel(surface, [](uint32_t pixel) { return pixel | 0xFF000000u; });
}

namespace {

struct BoxTap {
    int first;  // index into the weights
    int count;
};

// Coverage of every source pixel by every destination pixel's footprint along one axis.
void BoxWeights(int sourceSize, int destinationSize, std::vector<BoxTap>& taps, std::vector<int>& indices,
                std::vector<float>& weights) {
    const double scale = static_cast<double>(sourceSize) / destinationSize;
    taps.resize(destinationSize);
    indices.clear();
    weights.clear();
    for (int d = 0; d < destinationSize; ++d) {
        const double start = d * scale, end = (d + 1) * scale;
        const int first = static_cast<int>(std::floor(start));
        const int last = std::min(static_cast<int>(std::ceil(end - 0.001)), sourceSize);
        taps[d] = {static_cast<int>(weights.size()), 0};
        for (int s = first; s < last; ++s) {
            const double covered = std::min(end, s + 1.0) - std::max(start, static_cast<double>(s));
            if (covered <= 0) continue;
            indices.push_back(s);
            weights.push_back(static_cast<float>(covered));
            ++taps[d].count;
        }
    }
}

}  // namespace

void ResampleBox(const uint32_t* source, int sourceWidth, int sourceHeight, int sourcePitch, uint32_t* destination,
                 int destinationWidth, int destinationHeight, int destinationPitch) {
    if (sourceWidth < 1 || sourceHeight < 1 || destinationWidth < 1 || destinationHeight < 1) return;
    std::vector<BoxTap> tapsX, tapsY;
    std::vector<int> indexX, indexY;
    std::vector<float> weightX, weightY;
    BoxWeights(sourceWidth, destinationWidth, tapsX, indexX, weightX);
    BoxWeights(sourceHeight, destinationHeight, tapsY, indexY, weightY);
    for (int dy = 0; dy < destinationHeight; ++dy) {
        for (int dx = 0; dx < destinationWidth; ++dx) {
            std::array<float, 4> sum{};
            float total = 0;
            for (int j = tapsY[dy].first; j < tapsY[dy].first + tapsY[dy].count; ++j) {
                const uint32_t* row = source + static_cast<std::size_t>(indexY[j]) * sourcePitch;
                for (int i = tapsX[dx].first; i < tapsX[dx].first + tapsX[dx].count; ++i) {
                    const float weight = weightX[i] * weightY[j];
                    const uint32_t pixel = row[indexX[i]];
                    for (int c = 0; c < 4; ++c) sum[c] += weight * static_cast<float>(ChannelOf(pixel, c));
                    total += weight;
                }
            }
            uint32_t result = 0;
            for (int c = 0; c < 4 && total > 0; ++c)
                result |= static_cast<uint32_t>(std::clamp(sum[c] / total + 0.5f, 0.0f, 255.0f)) << (8 * c);
            destination[static_cast<std::size_t>(dy) * destinationPitch + dx] = result;
        }
    }
}
