#include "device_fixture.h"

#include <cstring>

D3DMATRIX EngineProjection(float width, float height) {
    const float n = 1, f = 100000, k = n / 200;
    const float l = -k * width / 2, r = k * width / 2, b = k * height / 2, t = -k * height / 2;
    D3DMATRIX m{};
    m.m[0][0] = 2 * n / (r - l);
    m.m[1][1] = 2 * n / (t - b);
    m.m[2][0] = (l + r) / (l - r);
    m.m[2][1] = (t + b) / (b - t);
    m.m[2][2] = f / (f - n);
    m.m[2][3] = 1;
    m.m[3][2] = n * f / (n - f);
    return m;
}

void DeviceTest::Create(UINT width, UINT height, D3DFORMAT format, bool depth) {
    dev_.Reset();
    d3d_ = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = format;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = depth;
    pp.AutoDepthStencilFormat = D3DFMT_D24X8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                 dev_.ReleaseAndGetAddressOf()),
              D3D_OK);
    width_ = static_cast<float>(width);
    height_ = static_cast<float>(height);
    const D3DMATRIX projection = EngineProjection(width_, height_);
    ASSERT_EQ(dev_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(dev_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1), D3D_OK);
    State(D3DRS_LIGHTING, FALSE);
    State(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(dev_->BeginScene(), D3D_OK);
}

Vertex DeviceTest::At(float x, float y, uint32_t colour, float u, float v, float z) const {
    return {x - width_ / 2, y - height_ / 2, 200 - z, colour, u, v};
}

void DeviceTest::Quad(float x0, float y0, float x1, float y1, uint32_t colour, float u0, float v0, float u1, float v1) {
    ASSERT_EQ(Draw({At(x0, y0, colour, u0, v0), At(x1, y0, colour, u1, v0), At(x1, y1, colour, u1, v1),
                    At(x0, y1, colour, u0, v1)},
                   {0, 1, 2, 0, 2, 3}),
              D3D_OK);
}

HRESULT DeviceTest::Draw(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices) {
    return dev_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()),
                                        static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                        vertices.data(), sizeof(Vertex));
}

ComPtr<IDirect3DTexture9> DeviceTest::MakeTexture(UINT width, UINT height, const std::vector<uint32_t>& argb,
                                                  D3DFORMAT format) {
    ComPtr<IDirect3DTexture9> texture;
    EXPECT_EQ(dev_->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, texture.ReleaseAndGetAddressOf(), nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &argb[y * width], width * 4);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

std::vector<uint32_t> DeviceTest::Pixels() {
    ComPtr<IDirect3DSurface9> back;
    EXPECT_EQ(dev_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf()), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(back->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const int w = static_cast<int>(width_), h = static_cast<int>(height_);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) std::memcpy(&pixels[y * w], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, w * 4);
    back->UnlockRect();
    return pixels;
}

uint32_t DeviceTest::Pixel(int x, int y) { return Pixels()[y * static_cast<int>(width_) + x]; }

void DeviceTest::ClearTo(uint32_t colour) { ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0), D3D_OK); }
