#pragma once
// The software device. Draw calls are transformed and set up at once and rasterised later
// in parallel: a batch that has grown large is drawn on the worker threads while the next
// one is recorded, and all pending work is finished before anything reads or replaces what
// it touches (locks, target switches, clears, Present, a texture being freed).
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/rasterizer.h"
#include "platform/d3d9/ref_counted.h"
#include "platform/d3d9/surface.h"
#include "platform/d3d9/texture.h"
#include "platform/d3d9/vertex_pipeline.h"

// What the one adapter reports.
D3DCAPS9 SoftwareDeviceCaps();

class DeviceImpl final : public RefCounted<IDirect3DDevice9> {
public:
    // Fills in the parameters the caller left to the device (sizes, format).
    static HRESULT Create(D3DPRESENT_PARAMETERS* params, HWND focusWindow, IDirect3DDevice9** out);

    HRESULT TestCooperativeLevel() override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* src, const RECT* dst, HWND window, const void* dirty) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, void* shared) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD quality, BOOL discard, IDirect3DSurface9** surface, void* shared) override;
    HRESULT CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) override;

    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DTexture9* texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                   UINT stride) override;

    // Whether something stamped with this batch is part of the pending drawing.
    bool Uses(uint64_t stamp) const {
        return (stamp == batch_ && !raster_.Empty()) || (stamp == inFlightBatch_ && raster_.InFlight());
    }
    // Finishes the pending drawing when something stamped with this batch is part of it.
    void FlushIfUses(uint64_t stamp) {
        if (Uses(stamp)) Flush();
    }
    void Flush();
    // Whether drawing recorded in the given batch or before it is still to be done.
    bool HasPendingWork(uint64_t upToBatch) const {
        return (batch_ <= upToBatch && !raster_.Empty()) || (inFlightBatch_ <= upToBatch && raster_.InFlight());
    }
    // Stamp of the batch being recorded.
    uint64_t Batch() const { return batch_; }
    bool IsLost() const { return lost_ || loseRequested_; }
    void RequestLoss() { loseRequested_ = true; }

private:
    DeviceImpl() = default;
    ~DeviceImpl() override;
    HRESULT CreateSwapChain(D3DPRESENT_PARAMETERS* params, HWND focusWindow);
    void ResetStates();
    void ApplyViewport(const D3DVIEWPORT9& viewport);
    void BindTarget(SurfaceImpl* target);
    DrawState BuildState() const;
    RenderTargetView BuildTargetView() const;
    // Stamps the bound texture with the batch and notes what these vertices sample of it.
    void NoteTextureUse(const uint8_t* vertices, UINT count);
    void RecordTriangles(UINT primitiveCount, const uint16_t* indices, UINT minIndex);
    void ClearRect(const RECT& rect, DWORD flags, D3DCOLOR color, float z);
    void ClearRows(const RECT& rect, DWORD flags, D3DCOLOR color, float z);
    void CopyToWindow(HWND window);

    D3DPRESENT_PARAMETERS params_{};
    ComPtr<IDirect3DSurface9> backBuffer_, autoDepth_;
    Binding<SurfaceImpl> target_, depth_;
    Binding<TextureImpl> texture_;
    D3DVIEWPORT9 viewport_{};
    D3DMATRIX projection_{};
    DWORD renderStates_[D3DRS_COUNT] = {};
    DWORD samplerStates_[8] = {};
    DWORD fvf_ = 0;
    bool inScene_ = false;
    bool lost_ = false, loseRequested_ = false, lossReported_ = false;

    VertexPipeline pipeline_;
    Rasterizer raster_;
    uint64_t batch_ = 1;
    uint64_t inFlightBatch_ = 0;
    size_t submitTriangles_ = 0;  // how many recorded triangles the next submission waits for
    bool stateDirty_ = true;
    uint32_t stateIndex_ = 0;
    std::vector<ClipVertex> clipVertices_;
    std::vector<Outcode> outcodes_;
    std::vector<ScreenVertex> screenVertices_;
};
