#pragma once
// Quad drawing and the sprite batch: consecutive quads of one device texture and one
// addressing mode become one indexed draw. Also the client vertex array through which
// every draw reaches the device. Main thread only.
#include <cstdint>

struct Texture;

struct RenderVertex {
    float x, y, z;
    uint32_t color;  // 0xAARRGGBB
    float u, v;
};
static_assert(sizeof(RenderVertex) == 24, "the device reads 24-byte vertices");

enum TextureAddressMode { kAddressWrap = 1, kAddressMirror = 2, kAddressClamp = 3, kAddressBorder = 4 };

inline constexpr int kBatchSlotVertices = 2048;
inline constexpr int kBatchSlotIndices = 4096;
inline constexpr int kMaxBatchSlots = 6;
inline constexpr int kAllBatchSlots = 100;
inline constexpr int kClientVertexCapacity = 8192;
inline constexpr uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

void DrawSprite(Texture* texture, const char* spriteName, float x, float y, float z, float angle, float alpha,
                float scaleX, float scaleY, const float* rgb, float uScroll, float vScroll, float xTilt, float yTilt);
void DrawTexturedQuad(float x, float y, float z, float width, float height, float u0, float v0, float u1, float v1,
                      Texture* texture, float angle, float alpha, float scaleX, float scaleY, const float* rgb,
                      float pivotX, float pivotY, float uScroll, float vScroll, float xTilt, float yTilt);
void DrawRectangle(const float* rgb, float x, float y, float z, float width, float height, float angle, float alpha,
                   float scale);
// Window pixels for vertices in virtual coordinates (nothing while a render target is
// drawn into, or without aspect correction).
void LetterboxVertices(RenderVertex* vertices, int count);
// Rotates four (first, second) pairs in place about (centre1, centre2).
void RotateQuad(float* first[4], float* second[4], float angleDegrees, float centre1, float centre2);

void DrawImage(const RenderVertex vertices[4], Texture* texture, int mode);
void SelectBatchSlot(Texture* texture, int mode);
bool BatchQuad(const RenderVertex vertices[4], Texture* texture, int mode);
void FlushBatch(int n);
void DrawTriangles(const RenderVertex* vertices, int count, const uint16_t* indices, int indexCount, Texture* texture,
                   int mode, const char* spriteName);

// Batch slots: none until start-up allocates one; a script may choose the current one.
void AllocateBatchBuffers();
void FreeBatchBuffers();
int BatchSlotCount();
void SelectCurrentBatchSlot(int slot);
int PendingBatchVertices(int slot);

// The client vertex array: lock, fill, convert, draw.
bool CreateVertexBuffer();
void FreeVertexBuffer();
// Null when the array is missing or asked for more than it holds.
RenderVertex* LockVertices(int count);
void ConvertLockedVertices(bool halfTexel);
void BindTexture(Texture* texture, int mode);
void DrawIndexed(const uint16_t* indices, int indexCount);
