#include "graphics/sprite_batch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "core/log.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/render_gl.h"
#include "graphics/texture.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

struct BatchSlot {
    int vertexCount = 0;
    int indexCount = 0;
    Texture* texture = nullptr;
    uintptr_t deviceTexture = 0;
    int mode = kAddressClamp;
};

struct Batch {
    int slotCount = 0;
    int currentSlot = 0;
    std::vector<RenderVertex> vertices;
    std::vector<uint16_t> indices;
    std::array<BatchSlot, kMaxBatchSlots> slots;
};

struct ClientArray {
    std::unique_ptr<RenderVertex[]> vertices;
    int lockedCount = 0;  // vertices at the start still awaiting conversion
    int drawCount = 0;    // vertices the next indexed draw reads
    float texelU = 0.0f;  // half-texel offsets of the bound texture, 0 when none
    float texelV = 0.0f;
};

Batch g_batch;
ClientArray g_client;

// Counters wrap instead of overflowing; a huge area saturates.
void AddCount(int32_t& counter, int64_t amount) {
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(amount));
}

int32_t TruncatedArea(float area) {
    constexpr float kLimit = static_cast<float>(std::numeric_limits<int32_t>::max());
    if (!(area < kLimit)) return std::isnan(area) ? 0 : std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(area);
}

// Scripts hand in colours and alphas: anything not a number counts as 0.
float Unit(float value) {
    return value > 0.0f ? std::min(value, 1.0f) : 0.0f;
}

// Clamp when every coordinate lies in 0 .. just above 1, else wrap.
bool ClampsCoordinate(float t) {
    const float scaled = t * 4095.0f;
    return scaled > -1.0f && scaled < 4096.0f;
}

int AddressModeFor(float u0, float v0, float u1, float v1) {
    const bool clamp = ClampsCoordinate(u0) && ClampsCoordinate(v0) && ClampsCoordinate(u1) && ClampsCoordinate(v1);
    return clamp ? kAddressClamp : kAddressWrap;
}

// Callers build index lists themselves: none may read past the vertices drawn.
bool IndicesWithin(const uint16_t* indices, int indexCount, int vertexCount) {
    uint16_t largest = 0;
    for (int i = 0; i < indexCount; ++i) largest = std::max(largest, indices[i]);
    return largest < vertexCount;
}

// OpenGL reads the colour's bytes as R, G, B, A: red and blue change places.
uint32_t SwapRedBlue(uint32_t c) {
    return (c & 0xFF00FF00u) | (c >> 16 & 0xFFu) | (c & 0xFFu) << 16;
}

void ConvertRange(RenderVertex* vertices, int count, bool halfTexel) {
    const RendererState& r = g_renderer;
    const float du = halfTexel ? g_client.texelU : 0.0f;
    const float dv = halfTexel ? g_client.texelV : 0.0f;
    const bool swap = r.opengl;
    for (int i = 0; i < count; ++i) {
        RenderVertex& v = vertices[i];
        v.x += r.viewOffsetX;
        v.y += r.viewOffsetY;
        v.z = r.cameraDistance - v.z;
        v.u += du;
        v.v += dv;
        if (swap) v.color = SwapRedBlue(v.color);
    }
}

void RecordSlot(BatchSlot& slot, Texture* texture, uintptr_t device, int mode) {
    slot.texture = texture;
    slot.deviceTexture = device;
    slot.mode = mode;
}

void TiltQuad(RenderVertex v[4], float x, float y, float z, float xTilt, float yTilt) {
    if (xTilt == 0.0f && yTilt == 0.0f) return;  // most quads: not even the corners' addresses
    float* ys[4] = {&v[0].y, &v[1].y, &v[2].y, &v[3].y};
    float* xs[4] = {&v[0].x, &v[1].x, &v[2].x, &v[3].x};
    float* zs[4] = {&v[0].z, &v[1].z, &v[2].z, &v[3].z};
    RotateQuad(ys, zs, xTilt, y, z);
    RotateQuad(xs, zs, yTilt, x, z);
}

// A texture the device refused has no pixels to draw with: its quads would come out as
// plain rectangles.
bool Refused(const Texture* texture) { return texture && !DeviceHandle(texture); }

}  // namespace

void DrawSprite(Texture* texture, const char* spriteName, float x, float y, float z, float angle, float alpha,
                float scaleX, float scaleY, const float* rgb, float uScroll, float vScroll, float xTilt, float yTilt) {
    const SpriteRect s = GetSprite(texture, spriteName);
    DrawTexturedQuad(x, y, z, s.width, s.height, s.u0, s.v0, s.u1, s.v1, texture, angle, alpha, scaleX, scaleY, rgb,
                     s.pivotX, s.pivotY, uScroll, vScroll, xTilt, yTilt);
}

void DrawTexturedQuad(float x, float y, float z, float width, float height, float u0, float v0, float u1, float v1,
                      Texture* texture, float angle, float alpha, float scaleX, float scaleY, const float* rgb,
                      float pivotX, float pivotY, float uScroll, float vScroll, float xTilt, float yTilt) {
    if (width == 0.0f || height == 0.0f || scaleX == 0.0f || scaleY == 0.0f || alpha == 0.0f) return;
    alpha = Unit(alpha);
    if (scaleX < 0.0f) {
        scaleX = -scaleX;
        std::swap(u0, u1);
        pivotX = width - pivotX;
    }
    if (scaleY < 0.0f) {
        scaleY = -scaleY;
        std::swap(v0, v1);
        pivotY = height - pivotY;
    }
    const float left = -pivotX * scaleX, right = (width - pivotX) * scaleX;
    const float top = -pivotY * scaleY, bottom = (height - pivotY) * scaleY;
    const auto [c, s] = CosSinOf(angle * kDegreesToRadians);
    const float corners[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    if (uScroll != 0.0f || vScroll != 0.0f) {
        const float su = std::fmod(uScroll, 1.0f), sv = std::fmod(vScroll, 1.0f);
        u0 += su, u1 += su, v0 += sv, v1 += sv;
    }
    const float us[4] = {u0, u1, u1, u0};
    const float vs[4] = {v0, v0, v1, v1};
    const uint32_t packed = rgb ? PackARGB(Unit(rgb[0]), Unit(rgb[1]), Unit(rgb[2]), alpha)
                                : PackARGB(1.0f, 1.0f, 1.0f, alpha);
    RenderVertex v[4];
    for (int i = 0; i < 4; ++i) {
        const float dx = corners[i][0], dy = corners[i][1];
        v[i] = {x + dx * c - dy * s, y + dx * s + dy * c, z, packed, us[i], vs[i]};
    }
    // Tilt about the quad's own position in game units, then map into the window,
    // so a tilted quad lands in the same place at every window size.
    TiltQuad(v, x, y, z, xTilt, yTilt);
    LetterboxVertices(v, 4);
    DrawImage(v, texture, AddressModeFor(u0, v0, u1, v1));
    AddCount(g_renderer.statistics.pixelsDrawn, TruncatedArea(width * height * scaleX * scaleY));
}

void DrawRectangle(const float* rgb, float x, float y, float z, float width, float height, float angle, float alpha,
                   float scale) {
    DrawTexturedQuad(x, y, z, width, height, 0, 0, 0, 0, nullptr, angle, alpha, scale, scale, rgb, 0, 0, 0, 0, 0, 0);
}

void LetterboxVertices(RenderVertex* vertices, int count) {
    const RendererState& r = g_renderer;
    if (!r.aspectCorrection || r.renderTargetActive) return;
    for (int i = 0; i < count; ++i) {
        vertices[i].x = vertices[i].x * r.scaleX + r.offsetX;
        vertices[i].y = vertices[i].y * r.scaleY + r.offsetY;
    }
}

void RotateQuad(float* first[4], float* second[4], float angleDegrees, float centre1, float centre2) {
    if (angleDegrees == 0.0f) return;
    const float a = angleDegrees * kDegreesToRadians;
    const float c = std::cos(a), s = std::sin(a);
    for (int i = 0; i < 4; ++i) {
        const float d1 = *first[i] - centre1, d2 = *second[i] - centre2;
        *first[i] = centre1 + d1 * c - d2 * s;
        *second[i] = centre2 + d2 * c + d1 * s;
    }
}

void DrawImage(const RenderVertex vertices[4], Texture* texture, int mode) {
    if (Refused(texture)) return;
    AddCount(g_renderer.statistics.imagesDrawn, 1);
    if (!BatchQuad(vertices, texture, mode)) DrawTriangles(vertices, 4, kQuadIndices, 6, texture, mode, nullptr);
}

void SelectBatchSlot(Texture* texture, int mode) {
    BatchSlot& slot = g_batch.slots[g_batch.currentSlot];
    const uintptr_t device = DeviceHandle(texture);
    if (slot.vertexCount == 0) {
        RecordSlot(slot, texture, device, mode);
        return;
    }
    const bool fits = slot.indexCount + 6 <= kBatchSlotIndices && slot.vertexCount + 4 <= kBatchSlotVertices;
    if (device == slot.deviceTexture && mode == slot.mode && fits) return;
    FlushBatch(g_batch.currentSlot);
    RecordSlot(slot, texture, device, mode);
}

bool BatchQuad(const RenderVertex vertices[4], Texture* texture, int mode) {
    if (g_batch.slotCount == 0) return false;
    SelectBatchSlot(texture, mode);
    const int slotIndex = g_batch.currentSlot;
    BatchSlot& slot = g_batch.slots[slotIndex];
    RenderVertex* store = g_batch.vertices.data() + slotIndex * kBatchSlotVertices;
    uint16_t* indices = g_batch.indices.data() + slotIndex * kBatchSlotIndices;
    const int n = slot.vertexCount;
    // Element by element: a copy of the whole quad becomes a library call.
    for (int i = 0; i < 4; ++i) store[n + i] = vertices[i];
#pragma GCC unroll 6
    for (int i = 0; i < 6; ++i) indices[slot.indexCount + i] = static_cast<uint16_t>(n + kQuadIndices[i]);
    slot.vertexCount += 4;
    slot.indexCount += 6;
    return true;
}

void FlushBatch(int n) {
    const int last = std::min(n, g_batch.slotCount - 1);
    for (int i = 0; i <= last; ++i) {
        BatchSlot& slot = g_batch.slots[i];
        if (slot.vertexCount <= 0) continue;
        DrawTriangles(g_batch.vertices.data() + i * kBatchSlotVertices, slot.vertexCount,
                      g_batch.indices.data() + i * kBatchSlotIndices, slot.indexCount, slot.texture, slot.mode,
                      nullptr);
        slot.vertexCount = slot.indexCount = 0;
    }
}

void DrawTriangles(const RenderVertex* vertices, int count, const uint16_t* indices, int indexCount, Texture* texture,
                   int mode, const char* spriteName) {
    if (Refused(texture)) return;
    SpriteRect uv;
    if (texture && spriteName) uv = GetSprite(texture, spriteName);
    RenderVertex* out = LockVertices(count);
    if (!out) return;
    const float du = uv.u1 - uv.u0, dv = uv.v1 - uv.v0;
    for (int i = 0; i < count; ++i) {
        out[i] = vertices[i];
        out[i].u = uv.u0 + vertices[i].u * du;
        out[i].v = uv.v0 + vertices[i].v * dv;
    }
    BindTexture(texture, mode);
    DrawIndexed(indices, indexCount);
    AddCount(g_renderer.statistics.trianglesDrawn, indexCount / 3);
    AddCount(g_renderer.statistics.drawCalls, 1);
}

void AllocateBatchBuffers() {
    if (g_batch.slotCount == 1) return;
    g_batch = Batch{};
    g_batch.slotCount = 1;
    g_batch.vertices.resize(kBatchSlotVertices);
    g_batch.indices.resize(kBatchSlotIndices);
}

void FreeBatchBuffers() {
    if (g_batch.slotCount != 0) g_batch = Batch{};
}

int BatchSlotCount() {
    return g_batch.slotCount;
}

void SelectCurrentBatchSlot(int slot) {
    // Scripts may pass anything: only existing slots can be chosen.
    g_batch.currentSlot = std::clamp(slot, 0, std::max(g_batch.slotCount - 1, 0));
}

int PendingBatchVertices(int slot) {
    return slot >= 0 && slot < g_batch.slotCount ? g_batch.slots[slot].vertexCount : 0;
}

bool CreateVertexBuffer() {
    g_client = ClientArray{};
    g_client.vertices.reset(new (std::nothrow) RenderVertex[kClientVertexCapacity]);
    if (g_client.vertices) return true;
    VELK_WARNING("CreateVertexBuffer ERROR: Could not create vertex buffer!");
    return false;
}

void FreeVertexBuffer() {
    g_client = ClientArray{};
}

RenderVertex* LockVertices(int count) {
    ConvertLockedVertices(false);
    if (!g_client.vertices) return nullptr;
    if (count < 0 || count > kClientVertexCapacity) {
        // Never written past the array: such a draw is refused.
        VELK_WARNING("LockVertices: %d vertices refused, the array holds %d", count, kClientVertexCapacity);
        return nullptr;
    }
    g_client.lockedCount = count;
    g_client.drawCount = count;
    return g_client.vertices.get();
}

void ConvertLockedVertices(bool halfTexel) {
    if (!g_client.vertices || g_client.lockedCount == 0) return;
    ConvertRange(g_client.vertices.get(), g_client.lockedCount, halfTexel);
    g_client.lockedCount = 0;
}

void BindTexture(Texture* texture, int mode) {
    g_renderer.currentTexture = texture;
    g_client.texelU = g_client.texelV = 0.0f;
    if (g_renderer.opengl) {
        GL_BindTexture(texture ? texture->glTexture : 0, mode);
        return;
    }
    IDirect3DTexture9* device = texture ? texture->deviceTexture : nullptr;
    D3DSURFACE_DESC desc{};
    if (device && SUCCEEDED(device->GetLevelDesc(0, &desc)) && desc.Width > 0 && desc.Height > 0) {
        g_client.texelU = 0.5f / static_cast<float>(desc.Width);
        g_client.texelV = 0.5f / static_cast<float>(desc.Height);
    }
    IDirect3DDevice9* d3d = D3D_Device();
    if (!d3d) return;
    d3d->SetTexture(0, device);
    d3d->SetSamplerState(0, D3DSAMP_ADDRESSU, static_cast<DWORD>(mode));
    d3d->SetSamplerState(0, D3DSAMP_ADDRESSV, static_cast<DWORD>(mode));
}

void DrawIndexed(const uint16_t* indices, int indexCount) {
    ConvertLockedVertices(!g_renderer.opengl);
    if (!g_client.vertices || !indices || indexCount < 3 || g_client.drawCount == 0) return;
    if (!IndicesWithin(indices, indexCount, g_client.drawCount)) {
        VELK_WARNING("DrawIndexed: an index reaches past the %d locked vertices", g_client.drawCount);
        return;
    }
    if (g_renderer.opengl) {
        GL_DrawIndexed(g_client.vertices.get(), indices, indexCount);
        return;
    }
    IDirect3DDevice9* d3d = D3D_Device();
    if (!d3d) return;
    d3d->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(g_client.drawCount),
                                static_cast<UINT>(indexCount / 3), indices, D3DFMT_INDEX16, g_client.vertices.get(),
                                sizeof(RenderVertex));
}
