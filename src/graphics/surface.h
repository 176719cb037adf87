#pragma once
// RGBA pixel buffers in memory: what decoding produces, texture creation consumes and
// text rendering composes on. A pixel is the bytes R, G, B, A (the word 0xAABBGGRR).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class Surface {
public:
    int width = 0;
    int height = 0;
    uint32_t* pixels = nullptr;
    bool hasAlpha = false;
    bool ownsPixels = true;

    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    ~Surface() = default;

    // Reallocates only when there are no pixels or the size differs; always zero-fills.
    void Create(int newWidth, int newHeight, bool alpha);
    void Clear();
    // Takes ownership of a buffer of width x height pixels.
    void Adopt(std::unique_ptr<uint32_t[]> buffer, int newWidth, int newHeight, bool alpha);
    // Becomes a view of memory owned elsewhere.
    void View(uint32_t* buffer, int newWidth, int newHeight, bool alpha);

    std::size_t PixelCount() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
    uint32_t* Row(int y) const { return pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width); }

private:
    std::unique_ptr<uint32_t[]> owned_;
};

struct SurfacePoint {
    float x;
    float y;
};

// Device pixel kinds for texture uploads.
enum SurfacePixelKind : int {
    kPixelsRGB = 1,          // 3 bytes R, G, B
    kPixelsR5G6B5 = 2,       // 16-bit, red in the top bits
    kPixelsR4G4B4A4 = 4,     // 16-bit, red in the top nibble
    kPixelsBGRA = 6,         // 4 bytes B, G, R, A
    kPixelsBGRX = 7,         // same layout, alpha unused by the device
    kPixelsD3DR5G6B5 = 8,    // as kind 2
    kPixelsA4R4G4B4 = 9,     // 16-bit, alpha in the top nibble
};

void AttachBuffer(Surface& surface, int width, int height, std::vector<uint32_t>& shared);
void CreateFromAlpha(Surface& surface, int width, int height, const uint8_t* alpha);
std::unique_ptr<Surface> NewPaddedCopy(const Surface& source, int width, int height);
std::unique_ptr<Surface> NewSubSurface(const Surface& source, int left, int top, int right, int bottom);
// Copies the rectangle (clipped to the source) to destination's top-left; pitches in pixels.
void BlitRect(const uint32_t* source, int sourceWidth, int sourceHeight, int sourcePitch, int left, int top,
              int right, int bottom, uint32_t* destination, int destinationPitch);
void RotateClockwise(Surface& surface);
void RotateCounterClockwise(Surface& surface);
void CopyAlphaFrom(Surface& surface, const Surface& alphaImage);

uint32_t BlendColorOver(uint32_t source, uint32_t destination);
uint32_t ScaleAlpha(uint32_t pixel, float factor);
void BlendSurfaceAt(const Surface& source, Surface& destination, int x, int y, float factor);
void BlitSurfaceAt(const Surface& source, Surface& destination, int x, int y);
void DirectionalBlur(Surface& surface, int dx, int dy, int radius, float strength);
void FillRect(Surface& surface, int x, int y, int width, int height, uint32_t colour);
uint32_t LerpColor(uint32_t a, uint32_t b, float t);
void VerticalGradient(Surface& surface, uint32_t top, uint32_t bottom);
void TintSurface(Surface& surface, uint32_t colour);

void PlotCoverage(int x, int y, float coverage, Surface& surface);
void DrawLineAA(float x0, float y0, float x1, float y1, Surface& surface);
void StrokePolyline(const SurfacePoint* points, int count, float width, Surface& surface);

bool NextPowerOfTwo(int& width, int& height);
bool ExtendEdges(int imageWidth, uint32_t* pixels, int paddedWidth, int imageHeight, int paddedHeight);
void CopyResized(const Surface& source, Surface& destination);
void CopyPixelRows(Surface& surface, const uint8_t* source, int bytesPerPixel, int sourceRowLength);
void SetOpaque(Surface& surface);
// Pitches in pixels.
void ResampleBox(const uint32_t* source, int sourceWidth, int sourceHeight, int sourcePitch, uint32_t* destination,
                 int destinationWidth, int destinationHeight, int destinationPitch);

// Bytes per destination pixel of a kind; 0 for kinds that convert to nothing.
int SurfacePixelKindSize(int kind);
// Writes into destination rows of `pitch` bytes (0: tightly packed); false for an unknown kind.
bool ConvertSurfacePixels(void* destination, int kind, const Surface& surface, int pitch = 0);
// Allocates the destination; empty for an unknown kind.
std::vector<uint8_t> ConvertSurfacePixels(int kind, const Surface& surface);

// Error diffusion before 16-bit conversion (off by default).
void SetDithering16Bit(bool on);
bool Dithering16Bit();
