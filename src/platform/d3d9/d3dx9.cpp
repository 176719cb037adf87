#include "platform/d3d9/d3dx9.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/d3d9/pixel_format.h"
#include "platform/d3d9/ref_counted.h"

namespace {

class MemoryBuffer final : public RefCounted<ID3DXBuffer> {
public:
    explicit MemoryBuffer(size_t size) : bytes_(size) {}
    void* GetBufferPointer() override { return bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

class RenderToSurface final : public RefCounted<ID3DXRenderToSurface> {
public:
    RenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, ComPtr<IDirect3DSurface9> depth)
        : device_(device), width_(width), height_(height), format_(format), depth_(std::move(depth)) {
        device_->AddRef();
    }

    HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override {
        D3DSURFACE_DESC desc;
        if (inScene_ || !surface || FAILED(surface->GetDesc(&desc)) || desc.Width != width_ || desc.Height != height_ ||
            desc.Format != format_ || !(desc.Usage & D3DUSAGE_RENDERTARGET))
            return D3DERR_INVALIDCALL;
        device_->GetRenderTarget(0, savedTarget_.ReleaseAndGetAddressOf());
        device_->GetDepthStencilSurface(savedDepth_.ReleaseAndGetAddressOf());
        device_->GetViewport(&savedViewport_);
        const D3DVIEWPORT9 whole{0, 0, width_, height_, 0.0f, 1.0f};
        HRESULT hr = device_->SetRenderTarget(0, surface);
        if (SUCCEEDED(hr)) hr = device_->SetDepthStencilSurface(depth_.Get());
        if (SUCCEEDED(hr)) hr = device_->SetViewport(viewport ? viewport : &whole);
        if (SUCCEEDED(hr)) hr = device_->BeginScene();
        if (FAILED(hr)) {
            Restore();
            return hr;
        }
        inScene_ = true;
        return D3D_OK;
    }

    HRESULT EndScene(DWORD) override {
        if (!inScene_) return D3DERR_INVALIDCALL;
        inScene_ = false;
        const HRESULT hr = device_->EndScene();
        Restore();
        return hr;
    }

private:
    ~RenderToSurface() override { device_->Release(); }

    void Restore() {
        if (savedTarget_) device_->SetRenderTarget(0, savedTarget_.Get());
        device_->SetDepthStencilSurface(savedDepth_.Get());
        device_->SetViewport(&savedViewport_);
        savedTarget_.Reset();
        savedDepth_.Reset();
    }

    IDirect3DDevice9* const device_;
    const UINT width_, height_;
    const D3DFORMAT format_;
    ComPtr<IDirect3DSurface9> depth_, savedTarget_, savedDepth_;
    D3DVIEWPORT9 savedViewport_{};
    bool inScene_ = false;
};

void Put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

constexpr uint32_t kBmpHeaderSize = 54;

void WriteBmpHeader(uint8_t* p, uint32_t width, uint32_t height) {
    const uint32_t pixelBytes = width * height * 4;
    std::memset(p, 0, kBmpHeaderSize);
    p[0] = 'B';
    p[1] = 'M';
    Put32(p + 2, kBmpHeaderSize + pixelBytes);
    Put32(p + 10, kBmpHeaderSize);
    Put32(p + 14, 40);
    Put32(p + 18, width);
    Put32(p + 22, height);
    Put16(p + 26, 1);
    Put16(p + 28, 32);
    Put32(p + 34, pixelBytes);
}

}  // namespace

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture) {
    if (!device || !texture) return D3DERR_INVALIDCALL;
    const D3DFORMAT stored = StoredFormat(format);
    if (stored == D3DFMT_UNKNOWN || IsDepthFormat(stored)) return D3DERR_NOTAVAILABLE;
    if (levels == D3DX_DEFAULT) levels = 0;
    return device->CreateTexture(width ? width : 1, height ? height : 1, levels, usage, stored, pool, texture, nullptr);
}

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface) {
    if (!device || !renderToSurface || width == 0 || height == 0 || StoredFormat(format) != format) return D3DERR_INVALIDCALL;
    ComPtr<IDirect3DSurface9> depth;
    if (depthStencil) {
        const HRESULT hr = device->CreateDepthStencilSurface(width, height, depthStencilFormat, D3DMULTISAMPLE_NONE, 0,
                                                             TRUE, depth.ReleaseAndGetAddressOf(), nullptr);
        if (FAILED(hr)) return hr;
    }
    try {
        *renderToSurface = new RenderToSurface(device, width, height, format, std::move(depth));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT D3DXSaveSurfaceToFileInMemory(ID3DXBuffer** buffer, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* surface,
                                      const void*, const RECT* rect) {
    D3DSURFACE_DESC desc;
    if (!buffer || !surface || format != D3DXIFF_BMP || FAILED(surface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
    D3DLOCKED_RECT locked;
    const HRESULT hr = surface->LockRect(&locked, rect, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    const uint32_t width = rect ? static_cast<uint32_t>(rect->right - rect->left) : desc.Width;
    const uint32_t height = rect ? static_cast<uint32_t>(rect->bottom - rect->top) : desc.Height;
    const int bpp = BytesPerPixel(desc.Format);
    MemoryBuffer* out;
    try {
        out = new MemoryBuffer(kBmpHeaderSize + size_t{width} * height * 4);
    } catch (const std::bad_alloc&) {
        surface->UnlockRect();
        return E_OUTOFMEMORY;
    }
    uint8_t* bytes = static_cast<uint8_t*>(out->GetBufferPointer());
    WriteBmpHeader(bytes, width, height);
    uint8_t* dst = bytes + kBmpHeaderSize;
    for (uint32_t row = height; row-- > 0;) {
        const uint8_t* src = static_cast<const uint8_t*>(locked.pBits) + size_t{row} * locked.Pitch;
        for (uint32_t x = 0; x < width; ++x, dst += 4) Put32(dst, LoadPixel(src + x * bpp, desc.Format));
    }
    surface->UnlockRect();
    *buffer = out;
    return D3D_OK;
}

const char* DXGetErrorString(HRESULT hr) {
    switch (hr) {
        case S_OK: return "S_OK";
        case S_FALSE: return "S_FALSE";
        case E_FAIL: return "E_FAIL";
        case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
        case D3DERR_WRONGTEXTUREFORMAT: return "D3DERR_WRONGTEXTUREFORMAT";
        case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
        case D3DERR_WASSTILLDRAWING: return "D3DERR_WASSTILLDRAWING";
        case D3DERR_INVALIDDEVICE: return "D3DERR_INVALIDDEVICE";
        case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST";
        case D3DERR_DEVICENOTRESET: return "D3DERR_DEVICENOTRESET";
        case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
        case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
        case D3DXERR_INVALIDDATA: return "D3DXERR_INVALIDDATA";
        default: return "Unknown error";
    }
}
