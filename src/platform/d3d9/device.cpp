#include "platform/d3d9/device.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include "platform/d3d9/event_query.h"
#include "platform/d3d9/pixel_format.h"
#include "platform/d3d9/raster_pool.h"
#include "platform/d3d9/thread_pool.h"

namespace {

constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// Recorded triangles are handed to the worker threads while recording goes on. The first
// batch after a flush is small, so the workers start soon instead of waiting while the
// caller alone records; the batches double from there, as each submission waits for the
// one before.
constexpr size_t kFirstSubmitTriangles = 512, kMostSubmitTriangles = 8192;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i) m.m[i][i] = 1;
    return m;
}

bool IsBackBufferFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R5G6B5;
}

SurfaceImpl* AsSurface(IDirect3DSurface9* surface) { return dynamic_cast<SurfaceImpl*>(surface); }

template <class T>
HRESULT HandOut(T* object, T** out) {
    if (!out || !object) return D3DERR_INVALIDCALL;
    object->AddRef();
    *out = object;
    return D3D_OK;
}

RECT Intersect(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

// Whether triangle p and the one after it are a, b, c and a, c, d: a quad.
bool PairsWithNext(const uint8_t* indexBytes, UINT p, UINT primitiveCount) {
    if (p + 1 >= primitiveCount) return false;
    uint16_t corner[6];
    std::memcpy(corner, indexBytes + size_t{p} * 6, 12);
    return corner[3] == corner[0] && corner[4] == corner[2];
}

// X8R8G8B8 as a format with an unused byte too: window surfaces usually are one, and then
// presenting copies rows instead of converting pixels.
Uint32 SdlFormat(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R5G6B5: return SDL_PIXELFORMAT_RGB565;
        case D3DFMT_X8R8G8B8: return SDL_PIXELFORMAT_RGB888;
        default: return SDL_PIXELFORMAT_ARGB8888;
    }
}

// Calls rows(top, bottom) for bands of rows that cover [top, bottom), on the rasteriser's
// threads: whole targets are cleared and presented in parallel.
template <class Rows>
void InRowBands(LONG top, LONG bottom, const Rows& rows) {
    constexpr LONG kRowsPerBand = 32;
    struct Job {
        LONG top, bottom;
        const Rows& rows;
    } const job{top, bottom, rows};
    // One reference captured: the job function needs no allocation.
    RasterPool().Run(static_cast<int>((bottom - top + kRowsPerBand - 1) / kRowsPerBand), [&job](int band) {
        const LONG first = job.top + band * kRowsPerBand;
        job.rows(first, std::min(first + kRowsPerBand, job.bottom));
    });
}

}  // namespace

D3DCAPS9 SoftwareDeviceCaps() {
    return {D3DDEVTYPE_HAL, D3DADAPTER_DEFAULT, D3DDEVCAPS_HWTRANSFORMANDLIGHT, kMaxSurfaceSide, kMaxSurfaceSide};
}

HRESULT DeviceImpl::Create(D3DPRESENT_PARAMETERS* params, HWND focusWindow, IDirect3DDevice9** out) {
    if (!params || !out) return D3DERR_INVALIDCALL;
    DeviceImpl* device;
    try {
        device = new DeviceImpl();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = device->CreateSwapChain(params, params->hDeviceWindow ? params->hDeviceWindow : focusWindow);
    if (FAILED(hr)) {
        device->Release();
        return hr;
    }
    device->ResetStates();
    *out = device;
    return D3D_OK;
}

DeviceImpl::~DeviceImpl() {
    Flush();
    texture_.Set(nullptr);
    target_.Set(nullptr);
    depth_.Set(nullptr);
    backBuffer_.Reset();
    autoDepth_.Reset();
}

HRESULT DeviceImpl::CreateSwapChain(D3DPRESENT_PARAMETERS* params, HWND window) {
    if (params->BackBufferFormat == D3DFMT_UNKNOWN && params->Windowed) params->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (!IsBackBufferFormat(params->BackBufferFormat)) return D3DERR_INVALIDCALL;
    if ((params->BackBufferWidth == 0 || params->BackBufferHeight == 0) && window) {
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (params->BackBufferWidth == 0) params->BackBufferWidth = static_cast<UINT>(std::max(w, 0));
        if (params->BackBufferHeight == 0) params->BackBufferHeight = static_cast<UINT>(std::max(h, 0));
    }
    if (params->BackBufferCount == 0) params->BackBufferCount = 1;
    if (params->EnableAutoDepthStencil && !IsDepthFormat(params->AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;

    ComPtr<IDirect3DSurface9> back, depth;
    HRESULT hr = CreateStandaloneSurface(this, false, params->BackBufferWidth, params->BackBufferHeight,
                                         params->BackBufferFormat, D3DUSAGE_RENDERTARGET, back.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr) && params->EnableAutoDepthStencil)
        hr = CreateStandaloneSurface(this, false, params->BackBufferWidth, params->BackBufferHeight,
                                     params->AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL, depth.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    params_ = *params;
    if (!params_.hDeviceWindow) params_.hDeviceWindow = window;
    backBuffer_ = std::move(back);
    autoDepth_ = std::move(depth);
    return D3D_OK;
}

void DeviceImpl::ResetStates() {
    std::fill(std::begin(renderStates_), std::end(renderStates_), 0);
    renderStates_[D3DRS_ZENABLE] = autoDepth_ ? D3DZB_TRUE : D3DZB_FALSE;
    renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
    renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_LIGHTING] = TRUE;
    renderStates_[D3DRS_COLORWRITEENABLE] = 0xF;
    renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    std::fill(std::begin(samplerStates_), std::end(samplerStates_), 0);
    samplerStates_[D3DSAMP_ADDRESSU] = samplerStates_[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    samplerStates_[D3DSAMP_MAGFILTER] = samplerStates_[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    fvf_ = 0;
    inScene_ = false;
    texture_.Set(nullptr);
    depth_.Set(AsSurface(autoDepth_.Get()));
    BindTarget(AsSurface(backBuffer_.Get()));
    projection_ = Identity();
    pipeline_.SetProjection(projection_);
    submitTriangles_ = kFirstSubmitTriangles;
    stateDirty_ = true;
}

void DeviceImpl::BindTarget(SurfaceImpl* target) {
    target_.Set(target);
    ApplyViewport({0, 0, target->Width(), target->Height(), 0.0f, 1.0f});
}

void DeviceImpl::ApplyViewport(const D3DVIEWPORT9& viewport) {
    viewport_ = viewport;
    pipeline_.SetViewport(viewport);
}

void DeviceImpl::Flush() {
    if (!raster_.Empty() || raster_.InFlight()) {
        raster_.Execute(RasterPool());
        target_->RefreshTexels();
    }
    inFlightBatch_ = 0;
    submitTriangles_ = kFirstSubmitTriangles;
    ++batch_;
    stateDirty_ = true;
}

HRESULT DeviceImpl::TestCooperativeLevel() {
    if (!IsLost()) return D3D_OK;
    lost_ = true;
    if (lossReported_) return D3DERR_DEVICENOTRESET;
    lossReported_ = true;
    return D3DERR_DEVICELOST;
}

HRESULT DeviceImpl::GetDeviceCaps(D3DCAPS9* caps) {
    if (!caps) return D3DERR_INVALIDCALL;
    *caps = SoftwareDeviceCaps();
    return D3D_OK;
}

HRESULT DeviceImpl::Reset(D3DPRESENT_PARAMETERS* params) {
    if (!params) return D3DERR_INVALIDCALL;
    Flush();
    texture_.Set(nullptr);
    const HRESULT hr = CreateSwapChain(params, params->hDeviceWindow ? params->hDeviceWindow : params_.hDeviceWindow);
    if (FAILED(hr)) return hr;
    ResetStates();
    lost_ = loseRequested_ = lossReported_ = false;
    return D3D_OK;
}

HRESULT DeviceImpl::Present(const RECT*, const RECT*, HWND window, const void*) {
    if (IsLost()) {
        lost_ = true;
        return D3DERR_DEVICELOST;
    }
    Flush();
    CopyToWindow(window ? window : params_.hDeviceWindow);
    return D3D_OK;
}

void DeviceImpl::CopyToWindow(HWND window) {
    if (!window) return;
    SDL_Surface* screen = SDL_GetWindowSurface(window);
    if (!screen) return;
    SurfaceImpl* back = AsSurface(backBuffer_.Get());
    const int w = std::min(static_cast<int>(back->Width()), screen->w);
    const int h = std::min(static_cast<int>(back->Height()), screen->h);
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) != 0) return;
    const Uint32 from = SdlFormat(back->Format());
    uint8_t* const to = static_cast<uint8_t*>(screen->pixels);
    InRowBands(0, std::max(h, 0), [&](LONG top, LONG bottom) {
        SDL_ConvertPixels(w, bottom - top, from, back->Bits() + static_cast<size_t>(top) * back->Pitch(), back->Pitch(),
                          screen->format->format, to + static_cast<size_t>(top) * screen->pitch, screen->pitch);
    });
    if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
    SDL_UpdateWindowSurface(window);
}

HRESULT DeviceImpl::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) {
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    return HandOut(backBuffer_.Get(), surface);
}

HRESULT DeviceImpl::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, void*) {
    return TextureImpl::Create(this, width, height, levels, usage, format, pool, texture);
}

HRESULT DeviceImpl::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE, DWORD,
                                              BOOL, IDirect3DSurface9** surface, void*) {
    if (!IsDepthFormat(format)) return D3DERR_INVALIDCALL;
    return CreateStandaloneSurface(this, true, width, height, format, D3DUSAGE_DEPTHSTENCIL, surface);
}

HRESULT DeviceImpl::CreateQuery(D3DQUERYTYPE type, IDirect3DQuery9** query) {
    if (type != D3DQUERYTYPE_EVENT) return D3DERR_NOTAVAILABLE;
    return EventQuery::Create(this, query);
}

HRESULT DeviceImpl::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    SurfaceImpl* target = AsSurface(surface);
    if (index != 0 || !target || !(target->Usage() & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    Flush();
    BindTarget(target);
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (index != 0) return D3DERR_INVALIDCALL;
    return HandOut<IDirect3DSurface9>(target_.Get(), surface);
}

HRESULT DeviceImpl::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    SurfaceImpl* depth = AsSurface(surface);
    if (surface && (!depth || !IsDepthFormat(depth->Format()))) return D3DERR_INVALIDCALL;
    Flush();
    depth_.Set(depth);
    return D3D_OK;
}

HRESULT DeviceImpl::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    return HandOut<IDirect3DSurface9>(depth_.Get(), surface);
}

HRESULT DeviceImpl::SetViewport(const D3DVIEWPORT9* viewport) {
    if (!viewport || viewport->Width == 0 || viewport->Height == 0 ||
        uint64_t{viewport->X} + viewport->Width > target_->Width() ||
        uint64_t{viewport->Y} + viewport->Height > target_->Height() || !(viewport->MinZ >= 0) ||
        !(viewport->MaxZ <= 1) || viewport->MinZ > viewport->MaxZ)
        return D3DERR_INVALIDCALL;
    if (std::memcmp(viewport, &viewport_, sizeof viewport_) != 0) {
        Flush();
        ApplyViewport(*viewport);
    }
    return D3D_OK;
}

HRESULT DeviceImpl::GetViewport(D3DVIEWPORT9* viewport) {
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT DeviceImpl::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT DeviceImpl::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT DeviceImpl::Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD) {
    const bool clearsDepth = flags & D3DCLEAR_ZBUFFER;
    if ((count > 0 && !rects) || (flags & D3DCLEAR_STENCIL) || (clearsDepth && (!depth_ || !(z >= 0 && z <= 1))) ||
        !(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)))
        return D3DERR_INVALIDCALL;
    if (IsLost()) return D3D_OK;
    Flush();
    const RECT view{static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                    static_cast<LONG>(viewport_.X + viewport_.Width), static_cast<LONG>(viewport_.Y + viewport_.Height)};
    if (count == 0) {
        ClearRect(view, flags, color, z);
    } else {
        for (DWORD i = 0; i < count; ++i) ClearRect(Intersect(rects[i], view), flags, color, z);
    }
    return D3D_OK;
}

void DeviceImpl::ClearRect(const RECT& rect, DWORD flags, D3DCOLOR color, float z) {
    if (rect.left >= rect.right || rect.top >= rect.bottom) return;
    InRowBands(rect.top, rect.bottom,
               [&](LONG top, LONG bottom) { ClearRows({rect.left, top, rect.right, bottom}, flags, color, z); });
    if (flags & D3DCLEAR_TARGET) target_->RefreshTexels();
}

void DeviceImpl::ClearRows(const RECT& rect, DWORD flags, D3DCOLOR color, float z) {
    if (flags & D3DCLEAR_TARGET) {
        SurfaceImpl& target = *target_.Get();
        const int bpp = BytesPerPixel(target.Format());
        uint32_t stored = 0;  // the pixel's bytes, repeated
        StorePixel(reinterpret_cast<uint8_t*>(&stored), target.Format(), color);
        if (bpp == 2) stored |= stored << 16;
        for (LONG y = rect.top; y < rect.bottom; ++y) {
            uint8_t* row = target.Bits() + static_cast<size_t>(y) * target.Pitch();
            if (bpp == 4) {
                // The library's vectorised fill of 32-bit units: a scalar loop otherwise.
                static_assert(sizeof(wchar_t) == sizeof stored);
                std::wmemset(reinterpret_cast<wchar_t*>(row) + rect.left, static_cast<wchar_t>(stored),
                             static_cast<size_t>(rect.right - rect.left));
            } else {
                for (LONG x = rect.left; x < rect.right; ++x) std::memcpy(row + x * 2, &stored, 2);
            }
        }
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        SurfaceImpl& depth = *depth_.Get();
        const RECT r = Intersect(rect, RECT{0, 0, static_cast<LONG>(depth.Width()), static_cast<LONG>(depth.Height())});
        for (LONG y = r.top; y < r.bottom; ++y) {
            float* row = depth.Depth() + static_cast<size_t>(y) * depth.Width();
            std::fill(row + r.left, row + std::max(r.left, r.right), z);
        }
    }
}

HRESULT DeviceImpl::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (state != D3DTS_PROJECTION || !matrix) return D3DERR_INVALIDCALL;
    projection_ = *matrix;
    pipeline_.SetProjection(projection_);
    return D3D_OK;
}

HRESULT DeviceImpl::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (state != D3DTS_PROJECTION || !matrix) return D3DERR_INVALIDCALL;
    *matrix = projection_;
    return D3D_OK;
}

HRESULT DeviceImpl::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (state >= D3DRS_COUNT) return D3DERR_INVALIDCALL;
    if (renderStates_[state] != value) {
        renderStates_[state] = value;
        stateDirty_ = true;
    }
    return D3D_OK;
}

HRESULT DeviceImpl::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (state >= D3DRS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT DeviceImpl::SetTexture(DWORD stage, IDirect3DTexture9* texture) {
    TextureImpl* impl = dynamic_cast<TextureImpl*>(texture);
    if (stage != 0 || (texture && !impl)) return D3DERR_INVALIDCALL;
    if (impl != texture_.Get()) {
        texture_.Set(impl);
        stateDirty_ = true;
    }
    return D3D_OK;
}

HRESULT DeviceImpl::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    // Stage 0 always modulates the texture (white without one) by the vertex colour.
    const bool isOp = type == D3DTSS_COLOROP || type == D3DTSS_ALPHAOP;
    if (stage != 0 || (isOp && value != D3DTOP_MODULATE)) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT DeviceImpl::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler != 0 || type >= std::size(samplerStates_)) return D3DERR_INVALIDCALL;
    const bool address = type == D3DSAMP_ADDRESSU || type == D3DSAMP_ADDRESSV;
    const bool filter = type == D3DSAMP_MAGFILTER || type == D3DSAMP_MINFILTER || type == D3DSAMP_MIPFILTER;
    if (address && value != D3DTADDRESS_WRAP && value != D3DTADDRESS_CLAMP) return D3DERR_INVALIDCALL;
    if (filter && value > D3DTEXF_LINEAR) return D3DERR_INVALIDCALL;
    if (samplerStates_[type] != value) {
        samplerStates_[type] = value;
        stateDirty_ = true;
    }
    return D3D_OK;
}

HRESULT DeviceImpl::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (sampler != 0 || type >= std::size(samplerStates_) || !value) return D3DERR_INVALIDCALL;
    *value = samplerStates_[type];
    return D3D_OK;
}

HRESULT DeviceImpl::SetFVF(DWORD fvf) {
    fvf_ = fvf;
    return D3D_OK;
}

DrawState DeviceImpl::BuildState() const {
    DrawState st;
    if (TextureImpl* texture = texture_.Get()) {
        const SurfaceImpl& level = texture->Level0();
        st.textured = true;
        st.sampler = {level.Texels(), level.TexelPitch(), static_cast<int>(level.Width()), static_cast<int>(level.Height()),
                      level.TexelAlpha(), static_cast<uint8_t>(samplerStates_[D3DSAMP_ADDRESSU]),
                      static_cast<uint8_t>(samplerStates_[D3DSAMP_ADDRESSV]),
                      static_cast<uint8_t>(samplerStates_[D3DSAMP_MINFILTER]),
                      static_cast<uint8_t>(samplerStates_[D3DSAMP_MAGFILTER])};
    }
    const auto rs = [this](D3DRENDERSTATETYPE s) { return renderStates_[s]; };
    st.alphaTest = rs(D3DRS_ALPHATESTENABLE) != 0;
    st.alphaFunc = static_cast<uint8_t>(rs(D3DRS_ALPHAFUNC));
    st.alphaRef = static_cast<uint8_t>(rs(D3DRS_ALPHAREF) & 0xFF);
    st.blend = rs(D3DRS_ALPHABLENDENABLE) != 0;
    st.srcBlend = static_cast<uint8_t>(rs(D3DRS_SRCBLEND));
    st.dstBlend = static_cast<uint8_t>(rs(D3DRS_DESTBLEND));
    st.blendOp = static_cast<uint8_t>(rs(D3DRS_BLENDOP));
    st.writeMask = static_cast<uint8_t>(rs(D3DRS_COLORWRITEENABLE) & 0xF);
    st.depthTest = rs(D3DRS_ZENABLE) != D3DZB_FALSE && BuildTargetView().depth != nullptr;
    st.depthWrite = rs(D3DRS_ZWRITEENABLE) != 0;
    st.depthFunc = static_cast<uint8_t>(rs(D3DRS_ZFUNC));
    return st;
}

RenderTargetView DeviceImpl::BuildTargetView() const {
    SurfaceImpl& target = *target_.Get();
    RenderTargetView view;
    view.bits = target.Bits();
    view.pitch = target.Pitch();
    view.format = target.Format();
    SurfaceImpl* depth = depth_.Get();
    // A depth buffer smaller than the target is not used.
    if (depth && depth->Width() >= target.Width() && depth->Height() >= target.Height()) {
        view.depth = depth->Depth();
        view.depthPitch = static_cast<int>(depth->Width());
    }
    view.scissor = {static_cast<LONG>(viewport_.X), static_cast<LONG>(viewport_.Y),
                    static_cast<LONG>(viewport_.X + viewport_.Width), static_cast<LONG>(viewport_.Y + viewport_.Height)};
    return view;
}

HRESULT DeviceImpl::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                           const void* vertices, UINT stride) {
    if (type != D3DPT_TRIANGLELIST || indexFormat != D3DFMT_INDEX16 || stride != kVertexStride || !indices ||
        !vertices || fvf_ != kVertexFormat || numVertices == 0 || !inScene_)
        return D3DERR_INVALIDCALL;
    const uint64_t end = uint64_t{minIndex} + numVertices;
    const uint8_t* indexBytes = static_cast<const uint8_t*>(indices);
    for (size_t i = 0; i < size_t{primitiveCount} * 3; ++i) {
        uint16_t index;
        std::memcpy(&index, indexBytes + i * 2, 2);
        if (index < minIndex || index >= end) return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0 || IsLost()) return D3D_OK;

    if (raster_.Empty()) raster_.Begin(BuildTargetView(), static_cast<int>(target_->Height()));
    if (stateDirty_) {
        stateIndex_ = raster_.AddState(BuildState());
        stateDirty_ = false;
    }
    const TextureImpl* texture = texture_.Get();
    const float texWidth = texture ? static_cast<float>(texture->Level0().Width()) : 0.0f;
    const float texHeight = texture ? static_cast<float>(texture->Level0().Height()) : 0.0f;
    const bool black = renderStates_[D3DRS_LIGHTING] != 0;  // lit without lights: no colour
    clipVertices_.resize(numVertices);
    outcodes_.resize(numVertices);
    screenVertices_.resize(numVertices);
    pipeline_.TransformAll(static_cast<const uint8_t*>(vertices) + size_t{minIndex} * kVertexStride, numVertices,
                           texWidth, texHeight, black, clipVertices_.data(), outcodes_.data(), screenVertices_.data());
    RecordTriangles(primitiveCount, static_cast<const uint16_t*>(indices), minIndex);
    target_->stamp = batch_;
    if (depth_) depth_->stamp = batch_;
    if (texture_) NoteTextureUse(static_cast<const uint8_t*>(vertices) + size_t{minIndex} * kVertexStride, numVertices);
    if (raster_.TriangleCount() >= submitTriangles_) {
        raster_.Submit(RasterPool());
        submitTriangles_ = std::min(submitTriangles_ * 2, kMostSubmitTriangles);
        inFlightBatch_ = batch_++;
        stateDirty_ = true;
    }
    return D3D_OK;
}

void DeviceImpl::NoteTextureUse(const uint8_t* vertices, UINT count) {
    SurfaceImpl& level = texture_->Level0();
    level.stamp = batch_;
    if (!level.TracksReads()) return;
    constexpr unsigned kUvOffset = 16;  // after x, y, z and the colour
    level.NoteRead(batch_, TexelBounds(vertices, count, kVertexStride, kUvOffset, static_cast<int>(level.Width()),
                                       static_cast<int>(level.Height()),
                                       samplerStates_[D3DSAMP_ADDRESSU] == D3DTADDRESS_WRAP,
                                       samplerStates_[D3DSAMP_ADDRESSV] == D3DTADDRESS_WRAP));
}

void DeviceImpl::RecordTriangles(UINT primitiveCount, const uint16_t* indices, UINT minIndex) {
    const DWORD cull = renderStates_[D3DRS_CULLMODE];
    const uint8_t* indexBytes = reinterpret_cast<const uint8_t*>(indices);
    for (UINT p = 0; p < primitiveCount; ++p) {
        uint16_t corner[6];
        // Copies of fixed sizes: the compiler makes loads of them, not a library call.
        std::memcpy(corner, indexBytes + size_t{p} * 6, 6);
        if (p + 1 < primitiveCount) std::memcpy(corner + 3, indexBytes + size_t{p} * 6 + 6, 6);
        const UINT i0 = corner[0] - minIndex, i1 = corner[1] - minIndex, i2 = corner[2] - minIndex;
        const Outcode o0 = outcodes_[i0], o1 = outcodes_[i1], o2 = outcodes_[i2];
        // a, b, c followed by a, c, d: a quad, drawn as one polygon when that is the same.
        if (PairsWithNext(indexBytes, p, primitiveCount)) {
            const UINT i3 = corner[5] - minIndex;
            if ((o0 | o1 | o2 | outcodes_[i3]) == 0) {
                const ScreenVertex &a = screenVertices_[i0], &b = screenVertices_[i1], &c = screenVertices_[i2],
                                   &d = screenVertices_[i3];
                // Where a, c, d could pair with the triangle after it, whether it does depends
                // on this quad's set-up: that is done now.
                if (!PairsWithNext(indexBytes, p + 1, primitiveCount)) {
                    raster_.AddQuad(a, b, c, d, stateIndex_, cull);
                    ++p;
                    continue;
                }
                if (raster_.AddQuadIfOnePolygon(a, b, c, d, stateIndex_, cull)) {
                    ++p;
                    continue;
                }
            }
        }
        if ((o0 & o1 & o2) || ((o0 | o1 | o2) & kOutsideAll)) continue;
        if ((o0 | o1 | o2) == 0) {
            raster_.AddTriangle(screenVertices_[i0], screenVertices_[i1], screenVertices_[i2], stateIndex_, cull);
            continue;
        }
        const ClipVertex triangle[3] = {clipVertices_[i0], clipVertices_[i1], clipVertices_[i2]};
        ClipVertex polygon[kMaxClipVertices];
        const int n = pipeline_.Clip(triangle, o0 | o1 | o2, polygon);
        ScreenVertex screen[kMaxClipVertices];
        for (int k = 0; k < n; ++k) screen[k] = pipeline_.ToScreen(polygon[k]);
        for (int k = 1; k + 1 < n; ++k) raster_.AddTriangle(screen[0], screen[k], screen[k + 1], stateIndex_, cull);
    }
}
