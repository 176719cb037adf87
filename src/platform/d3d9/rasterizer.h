#pragma once
// Deferred triangle rasterisation with Direct3D 9's rules: pixel centres at integer
// coordinates, 8 bits of sub-pixel precision, the top-left fill rule. Triangles are binned
// when they are recorded, and set up and rasterised later, in parallel horizontal bands,
// each band walking its triangles in recording order so blending stays ordered.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"

class ThreadPool;

struct SamplerView {
    const uint32_t* texels = nullptr;  // 0xAARRGGBB
    int pitch = 0;                     // words a row
    int width = 1, height = 1;
    uint32_t alphaOr = 0;
    uint8_t addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
    uint8_t minFilter = D3DTEXF_POINT, magFilter = D3DTEXF_POINT;
};

// Everything a pixel needs from the device's states, taken when a draw call is recorded.
struct DrawState {
    bool textured = false;
    SamplerView sampler;
    bool alphaTest = false;
    uint8_t alphaFunc = D3DCMP_ALWAYS, alphaRef = 0;
    bool blend = false;
    uint8_t srcBlend = D3DBLEND_ONE, dstBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
    uint8_t writeMask = 0xF;
    bool depthTest = false, depthWrite = false;
    uint8_t depthFunc = D3DCMP_LESSEQUAL;
};

struct RenderTargetView {
    uint8_t* bits = nullptr;
    int pitch = 0;
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    float* depth = nullptr;  // width floats a row; null without a depth buffer
    int depthPitch = 0;
    RECT scissor{};  // the viewport within the target; right and bottom exclusive
};

// A vertex after projection and viewport mapping: screen position, depth, 1/w and
// attributes (texture coordinates in texels, colour channels 0..255 as b, g, r, a).
struct ScreenVertex {
    float x, y, z, q;
    float s, t;
    float colour[4];
};

struct Triangle;

class Rasterizer {
public:
    Rasterizer();
    ~Rasterizer();

    // Starts recording a batch for a target of the given height; the batch must be empty.
    void Begin(const RenderTargetView& target, int height);
    // The state index refers to the states added to the batch so far.
    uint32_t AddState(const DrawState& state);
    // Bins one triangle, culled (D3DCULL_*) and set up by the first band that draws it.
    void AddTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, uint32_t state,
                     DWORD cull);
    // The triangles a, b, c and a, c, d: drawn as one polygon when that draws the same pixels
    // (a convex quad, affine, of one colour, whose corners agree on the attributes), else as
    // the two triangles. Set up, like a triangle, where it is drawn.
    void AddQuad(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, const ScreenVertex& d,
                 uint32_t state, DWORD cull);
    // As AddQuad, but set up now: false when the quad is not one polygon, and then nothing
    // was added (the caller may pair a, c, d with what follows).
    bool AddQuadIfOnePolygon(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                             const ScreenVertex& d, uint32_t state, DWORD cull);
    // Nothing recorded since the last Begin.
    bool Empty() const;
    // Triangles and quads recorded since the last Begin.
    size_t TriangleCount() const;
    // A submitted batch is being drawn.
    bool InFlight() const { return inFlight_; }
    // Starts drawing the recorded batch on the pool's workers (each band after the same band
    // of the batch in flight) and records the next into the other buffers once the batch in
    // flight is drawn; Begin must set them up.
    void Submit(ThreadPool& pool);
    // Draws everything submitted and recorded, and empties both batches.
    void Execute(ThreadPool& pool);

private:
    struct Shape;
    // A quad is Split when it does not draw the same as one polygon.
    enum class SetUpResult : uint8_t { Drawn, Nothing, Split };

    struct Batch {
        RenderTargetView target;
        int height = 0;
        std::vector<DrawState> states;
        std::vector<Shape> shapes;
        std::vector<Triangle> triangles;  // two for each shape
        std::vector<std::vector<uint32_t>> bins;

        // n 3 or 4 corners, set up into t.
        SetUpResult SetUp(const ScreenVertex* (&v)[4], int n, uint32_t state, DWORD cull, Triangle& t) const;
        // The shape's triangles, set up by the first thread to ask.
        void SetUpOnce(uint32_t index);
        void RasteriseBand(int band);
        void PrefetchPixels(const Shape& box, int y0, int y1) const;
        void Clear();
    };

    Shape& Record(const ScreenVertex* const (&v)[4], int n, uint32_t state, DWORD cull);
    // Files the shape last recorded under the bands its corners span; drops it when they lie
    // outside the scissor rectangle.
    void Bin();
    Batch& Recording() { return batches_[recording_]; }
    const Batch& Recording() const { return batches_[recording_]; }

    Batch batches_[2];
    int recording_ = 0;
    bool inFlight_ = false;
};
