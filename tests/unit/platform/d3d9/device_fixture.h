#pragma once
// A headless software device with the engine's projection, and helpers to draw quads and
// read pixels back.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(Vertex) == 24);

// The engine's frustum: the plane z = 0 maps pixel for pixel, the eye 200 units in front.
D3DMATRIX EngineProjection(float width, float height);

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { Create(64, 64, D3DFMT_A8R8G8B8, false); }
    void Create(UINT width, UINT height, D3DFORMAT format, bool depth);

    // A vertex in target pixels (z toward the eye), converted as the engine does.
    Vertex At(float x, float y, uint32_t colour, float u = 0, float v = 0, float z = 0) const;
    // Axis-aligned quad, corners left-top, right-top, right-bottom, left-bottom.
    void Quad(float x0, float y0, float x1, float y1, uint32_t colour, float u0 = 0, float v0 = 0, float u1 = 1,
              float v1 = 1);
    HRESULT Draw(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices);
    ComPtr<IDirect3DTexture9> MakeTexture(UINT width, UINT height, const std::vector<uint32_t>& argb,
                                          D3DFORMAT format = D3DFMT_A8R8G8B8);
    uint32_t Pixel(int x, int y);
    std::vector<uint32_t> Pixels();
    void ClearTo(uint32_t colour);
    void State(D3DRENDERSTATETYPE state, DWORD value) { ASSERT_EQ(dev_->SetRenderState(state, value), D3D_OK); }
    void Sampler(D3DSAMPLERSTATETYPE type, DWORD value) { ASSERT_EQ(dev_->SetSamplerState(0, type, value), D3D_OK); }

    ComPtr<IDirect3D9> d3d_;
    ComPtr<IDirect3DDevice9> dev_;
    float width_ = 0, height_ = 0;
};
