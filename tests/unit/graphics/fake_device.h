#pragma once
// A device that records what the renderer asks of it: render and sampler states, the
// bound texture and every indexed draw with a copy of its vertices and indices.
#include <cstring>
#include <map>
#include <vector>

#include "graphics/sprite_batch.h"
#include "platform/d3d9/d3d9.h"

// A texture of one level held in memory with a pitch wider than its rows, so code that
// writes at the wrong pitch shows it.
class FakeTexture : public IDirect3DTexture9 {
public:
    static constexpr int kPadding = 16;

    FakeTexture(UINT width, UINT height, D3DFORMAT format, int bytesPerPixel)
        : width_(width), height_(height), format_(format), bytesPerPixel_(bytesPerPixel),
          pitch_(static_cast<int>(width) * bytesPerPixel + kPadding), bits_(static_cast<std::size_t>(pitch_) * height, 0xEE) {}
    virtual ~FakeTexture() = default;

    unsigned long AddRef() override { return ++refs_; }
    unsigned long Release() override { return --refs_; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    DWORD GetLevelCount() override { return 1; }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override {
        if (level != 0) return D3DERR_INVALIDCALL;
        *desc = D3DSURFACE_DESC{format_, D3DRTYPE_TEXTURE, 0, D3DPOOL_MANAGED, D3DMULTISAMPLE_NONE, 0, width_, height_};
        return D3D_OK;
    }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override {
        if (level != 0) return D3DERR_INVALIDCALL;
        const RECT r = rect ? *rect : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
        locked->Pitch = pitch_;
        locked->pBits = bits_.data() + static_cast<std::size_t>(r.top) * pitch_ + r.left * bytesPerPixel_;
        return D3D_OK;
    }
    HRESULT UnlockRect(UINT) override { return D3D_OK; }

    const uint8_t* Pixel(int x, int y) const { return bits_.data() + y * pitch_ + x * bytesPerPixel_; }
    uint16_t Pixel16(int x, int y) const {
        uint16_t value;
        std::memcpy(&value, Pixel(x, y), 2);
        return value;
    }
    int Pitch() const { return pitch_; }
    const std::vector<uint8_t>& Bits() const { return bits_; }

private:
    unsigned long refs_ = 1;
    UINT width_, height_;
    D3DFORMAT format_;
    int bytesPerPixel_;
    int pitch_;
    std::vector<uint8_t> bits_;
};

struct RecordedDraw {
    IDirect3DTexture9* texture;
    DWORD addressU, addressV;
    UINT numVertices, primitiveCount;
    std::vector<RenderVertex> vertices;
    std::vector<uint16_t> indices;
    std::map<DWORD, DWORD> states;
};

class FakeDevice : public IDirect3DDevice9 {
public:
    virtual ~FakeDevice() = default;

    std::vector<RecordedDraw> draws;
    std::map<DWORD, DWORD> states;
    std::vector<DWORD> stateOrder;  // render-state codes in the order they were set
    std::map<DWORD, DWORD> samplers;
    IDirect3DTexture9* texture = nullptr;
    int clears = 0;
    DWORD lastClearFlags = 0;
    float lastClearZ = -1.0f;
    D3DMATRIX projection{};
    HRESULT cooperative = D3D_OK;
    bool recording = true;  // off: draws are only counted (benchmarks)
    int drawCount = 0;
    int scenesBegun = 0, scenesEnded = 0;

    unsigned long AddRef() override { return ++refs_; }
    unsigned long Release() override { return --refs_; }

    HRESULT TestCooperativeLevel() override { return cooperative; }
    HRESULT GetDeviceCaps(D3DCAPS9*) override { return D3D_OK; }
    HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return D3D_OK; }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override { return D3D_OK; }
    HRESULT GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, void*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, BOOL, IDirect3DSurface9**,
                                      void*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT CreateQuery(D3DQUERYTYPE, IDirect3DQuery9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetRenderTarget(DWORD, IDirect3DSurface9*) override { return D3D_OK; }
    HRESULT GetRenderTarget(DWORD, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetDepthStencilSurface(IDirect3DSurface9*) override { return D3D_OK; }
    HRESULT GetDepthStencilSurface(IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetViewport(const D3DVIEWPORT9*) override { return D3D_OK; }
    HRESULT GetViewport(D3DVIEWPORT9*) override { return D3D_OK; }
    HRESULT BeginScene() override {
        ++scenesBegun;
        return D3D_OK;
    }
    HRESULT EndScene() override {
        ++scenesEnded;
        return D3D_OK;
    }
    HRESULT Clear(DWORD, const RECT*, DWORD flags, D3DCOLOR, float z, DWORD) override {
        ++clears;
        lastClearFlags = flags;
        lastClearZ = z;
        return D3D_OK;
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX* matrix) override {
        projection = *matrix;
        return D3D_OK;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX* matrix) override {
        *matrix = projection;
        return D3D_OK;
    }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        states[state] = value;
        stateOrder.push_back(state);
        return D3D_OK;
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override {
        *value = states[state];
        return D3D_OK;
    }
    HRESULT SetTexture(DWORD, IDirect3DTexture9* bound) override {
        texture = bound;
        return D3D_OK;
    }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetSamplerState(DWORD, D3DSAMPLERSTATETYPE type, DWORD value) override {
        samplers[type] = value;
        return D3D_OK;
    }
    HRESULT GetSamplerState(DWORD, D3DSAMPLERSTATETYPE type, DWORD* value) override {
        *value = samplers[type];
        return D3D_OK;
    }
    HRESULT SetFVF(DWORD) override { return D3D_OK; }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT numVertices, UINT primitiveCount, const void* indices,
                                   D3DFORMAT, const void* vertices, UINT) override {
        ++drawCount;
        if (!recording) return D3D_OK;
        const auto* v = static_cast<const RenderVertex*>(vertices);
        const auto* i = static_cast<const uint16_t*>(indices);
        draws.push_back({texture, samplers[D3DSAMP_ADDRESSU], samplers[D3DSAMP_ADDRESSV], numVertices, primitiveCount,
                         std::vector<RenderVertex>(v, v + numVertices),
                         std::vector<uint16_t>(i, i + primitiveCount * 3), states});
        return D3D_OK;
    }

private:
    unsigned long refs_ = 1;
};
