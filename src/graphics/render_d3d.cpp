#include "graphics/render_d3d.h"

#include <algorithm>
#include <cstring>

#include "core/config.h"
#include "core/log.h"
#include "core/profile.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "graphics/surface.h"
#include "graphics/texture.h"

namespace {

struct BackEnd {
    ComPtr<IDirect3D9> d3d;
    ComPtr<IDirect3DDevice9> device;
    D3DPRESENT_PARAMETERS params{};
    D3DCAPS9 caps{};
    ComPtr<IDirect3DQuery9> query;
    HRESULT lastTextureResult = D3D_OK;
    Texture* renderTexture = nullptr;
    ComPtr<IDirect3DSurface9> renderSurface;
};

BackEnd g_d3d;

constexpr D3DFORMAT BackBufferFormatFor(bool bit16) {
    return bit16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
}

void FillPresentParameters(SDL_Window* window) {
    D3DPRESENT_PARAMETERS& p = g_d3d.params;
    p = D3DPRESENT_PARAMETERS{};
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = !g_renderer.fullScreen;
    p.EnableAutoDepthStencil = g_renderer.zbuffer;
    p.AutoDepthStencilFormat = g_renderer.depth24 ? D3DFMT_D24X8 : D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (g_renderer.fullScreen) {
        p.BackBufferWidth = static_cast<UINT>(g_renderer.windowWidth);
        p.BackBufferHeight = static_cast<UINT>(g_renderer.windowHeight);
        p.BackBufferFormat = BackBufferFormatFor(g_renderer.bit16);
        if (g_renderer.vsync) p.PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
        return;
    }
    D3DDISPLAYMODE mode{};
    const HRESULT hr = g_d3d.d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    if (FAILED(hr)) VELK_ERROR("Direct3D: GetAdapterDisplayMode execution failed (%s)", D3D_ErrorName(hr));
    // The window code measured the client area into windowWidth x windowHeight.
    p.BackBufferWidth = static_cast<UINT>(g_renderer.windowWidth);
    p.BackBufferHeight = static_cast<UINT>(g_renderer.windowHeight);
    p.BackBufferFormat = mode.Format;
}

void SwitchToFullScreen() {
    g_config.full_screen = true;
    g_renderer.fullScreen = true;
    D3DPRESENT_PARAMETERS& p = g_d3d.params;
    p.Windowed = false;
    p.BackBufferWidth = static_cast<UINT>(g_renderer.windowWidth);
    p.BackBufferHeight = static_cast<UINT>(g_renderer.windowHeight);
    p.BackBufferFormat = BackBufferFormatFor(g_renderer.bit16);
    p.PresentationInterval = g_renderer.vsync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;
}

HRESULT TryCreateDevice(SDL_Window* window, DWORD behaviour) {
    return g_d3d.d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, behaviour, &g_d3d.params,
                                   g_d3d.device.ReleaseAndGetAddressOf());
}

void CreateDeviceWithFallbacks(SDL_Window* window) {
    const DWORD behaviour = (g_d3d.caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                                ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    HRESULT hr = TryCreateDevice(window, behaviour);
    if (SUCCEEDED(hr)) return;
    if (g_d3d.params.Windowed) {
        LogPrintf("CreateDevice failed: %s\nTrying full screen now.", DXGetErrorString(hr));
        SwitchToFullScreen();
        hr = TryCreateDevice(window, behaviour);
        if (SUCCEEDED(hr)) return;
    }
    LogPrintf("CreateDevice failed in full screen: %s\nTrying different full screen format now.",
              DXGetErrorString(hr));
    g_d3d.params.BackBufferFormat = D3DFMT_R5G6B5;
    hr = TryCreateDevice(window, behaviour);
    if (FAILED(hr)) VELK_ERROR("Direct3D: Can't create D3D device (%s)", D3D_ErrorName(hr));
}

void SetFixedStates() {
    IDirect3DDevice9* device = g_d3d.device.Get();
    device->SetRenderState(D3DRS_LIGHTING, false);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, true);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // Set here, not left to the window code, so a re-created device draws like the first.
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0);
    D3D_SetLinearFiltering();
}

void WarnTextureFailure(HRESULT hr, const char* call, const char* file, int line) {
    g_d3d.lastTextureResult = hr;
    VELK_WARNING("D3D ERROR [%s]: %s < %s [%d]>", DXGetErrorString(hr), call, file, line);
}

uint16_t PackA4R4G4B4(const uint8_t bgra[4]) {
    return static_cast<uint16_t>((bgra[3] >> 4) << 12 | (bgra[2] >> 4) << 8 | (bgra[1] >> 4) << 4 | bgra[0] >> 4);
}

uint16_t PackR5G6B5(const uint8_t bgra[4]) {
    return static_cast<uint16_t>((bgra[2] >> 3) << 11 | (bgra[1] >> 2) << 5 | bgra[0] >> 3);
}

// One source pixel of an upload kind as bytes B, G, R, A.
void UploadPixel(int kind, const uint8_t* source, uint8_t out[4]) {
    switch (kind) {
        case kUploadRGB: out[0] = source[2], out[1] = source[1], out[2] = source[0], out[3] = 255; break;
        case kUploadDeviceOrder: std::memcpy(out, source, 4); break;
        default: out[0] = out[1] = out[2] = 255, out[3] = source[0]; break;
    }
}

int UploadSourceSize(int kind) {
    return kind == kUploadRGB ? 3 : kind == kUploadDeviceOrder ? 4 : kind == kUploadAlpha ? 1 : 0;
}

int FormatPixelSize(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8: return 4;
        case D3DFMT_A4R4G4B4:
        case D3DFMT_R5G6B5: return 2;
        default: return 0;
    }
}

void WriteUploadRow(D3DFORMAT format, int kind, const uint8_t* source, uint8_t* destination, int width) {
    const int sourceSize = UploadSourceSize(kind);
    for (int x = 0; x < width; ++x, source += sourceSize) {
        uint8_t bgra[4];
        UploadPixel(kind, source, bgra);
        if (format == D3DFMT_A4R4G4B4 || format == D3DFMT_R5G6B5) {
            const uint16_t packed = format == D3DFMT_A4R4G4B4 ? PackA4R4G4B4(bgra) : PackR5G6B5(bgra);
            std::memcpy(destination + x * 2, &packed, 2);
        } else {
            std::memcpy(destination + x * 4, bgra, 4);
        }
    }
}

bool RectInsideLevel(IDirect3DTexture9* texture, int x, int y, int width, int height, D3DSURFACE_DESC& desc) {
    if (FAILED(texture->GetLevelDesc(0, &desc))) return false;
    return x >= 0 && y >= 0 && width > 0 && height > 0 && static_cast<int64_t>(x) + width <= desc.Width &&
           static_cast<int64_t>(y) + height <= desc.Height;
}

}  // namespace

IDirect3DDevice9* D3D_Device() {
    return g_d3d.device.Get();
}

bool D3D_Init(SDL_Window* window) {
    LogPrintf("Initializing D3D...");
    ProfileStart("d3d_create");
    g_d3d.d3d = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
    ProfileStop("d3d_create");
    if (!g_d3d.d3d)
        VELK_ERROR("Direct3D: Can't create Direct3D object!\nPlease make sure you have installed correct DirectX version.");
    const HRESULT hr = g_d3d.d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &g_d3d.caps);
    if (FAILED(hr)) VELK_ERROR("Direct3D: GetDeviceCaps execution failed (%s)", D3D_ErrorName(hr));
    FillPresentParameters(window);
    CreateDeviceWithFallbacks(window);
    g_d3d.device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    CreateVertexBuffer();
    SetFixedStates();
    SetDefaultProjection();
    g_d3d.device->CreateQuery(D3DQUERYTYPE_EVENT, g_d3d.query.ReleaseAndGetAddressOf());
    LogPrintf("Initializing D3D - done\n");
    g_renderer.sceneBegun = false;
    return true;
}

bool D3D_Close() {
    LogPrintf("Closing D3D... ");
    g_d3d.query.Reset();
    FreeVertexBuffer();
    g_d3d.renderSurface.Reset();
    g_d3d.renderTexture = nullptr;
    if (g_d3d.device) g_d3d.device->Reset(&g_d3d.params);
    g_d3d.device.Reset();
    g_d3d.d3d.Reset();
    g_renderer.sceneBegun = false;
    LogPrintf("Closing D3D - done\n");
    const DrawStatistics& s = g_renderer.statistics;
    const double total = static_cast<double>(s.imagesDrawn) + s.imagesSkipped;
    // Nothing drawn counts as nothing skipped.
    const double percent = total > 0.0 ? 100.0 * s.imagesSkipped / total : 0.0;
    LogPrintf("DrawImage - drawn: %d, skipped: %d (%4.1f%%)\n", s.imagesDrawn, s.imagesSkipped, percent);
    return true;
}

bool D3D_Present() {
    if (!g_d3d.device) return false;
    if (g_d3d.query) {
        g_d3d.query->Issue(D3DISSUE_END);
        HRESULT hr;
        while ((hr = g_d3d.query->GetData(nullptr, 0, D3DGETDATA_FLUSH)) == S_FALSE) {
        }
        if (FAILED(hr)) g_d3d.device->CreateQuery(D3DQUERYTYPE_EVENT, g_d3d.query.ReleaseAndGetAddressOf());
    }
    const HRESULT hr = g_d3d.device->Present(nullptr, nullptr, nullptr, nullptr);
    if (hr == D3DERR_DEVICELOST) MarkRenderDeviceLost();
    return SUCCEEDED(hr);
}

void D3D_SetProjectionMatrix(const float matrix[16]) {
    if (!g_d3d.device) return;
    D3DMATRIX m;
    std::memcpy(m.m, matrix, sizeof m.m);
    g_d3d.device->SetTransform(D3DTS_PROJECTION, &m);
}

IDirect3DTexture9* D3D_CreateBlankTexture(int width, int height, bool alpha, bool dynamic, bool fullColour,
                                          bool renderTarget) {
    if (!g_d3d.device) return nullptr;
    const bool bits16 = g_config.tex_16bit && !fullColour && !renderTarget;
    // Colour without alpha is asked for as the 32-bit format the pixels are written in.
    const D3DFORMAT format = alpha ? (bits16 ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8)
                                   : (bits16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8);
    const DWORD usage = dynamic ? D3DUSAGE_DYNAMIC : (renderTarget ? D3DUSAGE_RENDERTARGET : 0);
    IDirect3DTexture9* texture = nullptr;
    const HRESULT hr = D3DXCreateTexture(g_d3d.device.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                         1, usage, format, D3DPOOL_DEFAULT, &texture);
    if (SUCCEEDED(hr)) return texture;
    WarnTextureFailure(hr,
                       "D3DXCreateTexture(d3dDevice, width, height, 1, dynamic ? D3DUSAGE_DYNAMIC : (renderTarget ? "
                       "D3DUSAGE_RENDERTARGET : 0), format, D3DPOOL_DEFAULT , &d3dTexture)",
                       __FILE__, __LINE__);
    return nullptr;
}

int D3D_MaxTextureSide() {
    if (!g_d3d.device) return 0;
    return static_cast<int>(std::min(g_d3d.caps.MaxTextureWidth, g_d3d.caps.MaxTextureHeight));
}

IDirect3DTexture9* D3D_CreateTextureFromSurface(const Surface& surface) {
    if (!g_d3d.device || surface.width <= 0 || surface.height <= 0) return nullptr;
    const bool alpha = surface.hasAlpha;
    const bool bits16 = g_config.tex_16bit;
    const D3DFORMAT format = alpha ? (bits16 ? D3DFMT_A4R4G4B4 : D3DFMT_A8R8G8B8)
                                   : (bits16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8);
    const int kind = alpha ? (bits16 ? kPixelsA4R4G4B4 : kPixelsBGRA) : (bits16 ? kPixelsD3DR5G6B5 : kPixelsBGRX);
    ComPtr<IDirect3DTexture9> texture;
    const HRESULT hr = D3DXCreateTexture(g_d3d.device.Get(), static_cast<UINT>(surface.width),
                                         static_cast<UINT>(surface.height), 1, 0, format, D3DPOOL_MANAGED,
                                         texture.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        WarnTextureFailure(hr,
                           "D3DXCreateTexture(d3dDevice, surface->Width(), surface->Height(), 1, 0, format, "
                           "D3DPOOL_MANAGED, (IDirect3DTexture9**)&texture)",
                           __FILE__, __LINE__);
        return nullptr;
    }
    D3DSURFACE_DESC desc{};
    if (!RectInsideLevel(texture.Get(), 0, 0, surface.width, surface.height, desc)) return nullptr;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return nullptr;
    // Rows go at the device's pitch, which may be wider than the surface.
    const bool fits = locked.Pitch >= surface.width * SurfacePixelKindSize(kind);
    if (fits) ConvertSurfacePixels(locked.pBits, kind, surface, locked.Pitch);
    texture->UnlockRect(0);
    return fits ? texture.Detach() : nullptr;
}

ID3DXRenderToSurface* D3D_CreateRenderTarget(IDirect3DTexture9* texture, D3DFORMAT depthFormat) {
    D3DSURFACE_DESC desc{};
    if (!g_d3d.device || !texture || FAILED(texture->GetLevelDesc(0, &desc))) return nullptr;
    ID3DXRenderToSurface* target = nullptr;
    const HRESULT hr = D3DXCreateRenderToSurface(g_d3d.device.Get(), desc.Width, desc.Height, desc.Format,
                                                 depthFormat != D3DFMT_UNKNOWN, depthFormat, &target);
    return SUCCEEDED(hr) ? target : nullptr;
}

bool D3D_BeginRenderToTexture(Texture* texture, uint32_t clearColour) {
    if (!g_d3d.device || !texture || !texture->deviceTexture || !texture->renderTarget) return false;
    ComPtr<IDirect3DSurface9> surface;
    if (FAILED(texture->deviceTexture->GetSurfaceLevel(0, surface.ReleaseAndGetAddressOf()))) return false;
    if (FAILED(texture->renderTarget->BeginScene(surface.Get(), nullptr))) return false;
    SetProjection(true, texture->width, texture->height);
    const DWORD flags = D3DCLEAR_TARGET | (texture->hasDepth ? D3DCLEAR_ZBUFFER : 0);
    g_d3d.device->Clear(0, nullptr, flags, clearColour, g_renderer.clearDepth, 0);
    g_d3d.renderSurface = std::move(surface);
    g_d3d.renderTexture = texture;
    return true;
}

void D3D_EndRenderToTexture() {
    if (g_d3d.renderTexture && g_d3d.renderTexture->renderTarget)
        g_d3d.renderTexture->renderTarget->EndScene(D3DX_FILTER_NONE);
    g_d3d.renderSurface.Reset();
    g_d3d.renderTexture = nullptr;
    SetProjection(false, g_renderer.windowWidth, g_renderer.windowHeight);
}

void D3D_UpdateTexture(int x, int y, IDirect3DTexture9* texture, int width, int height, const void* pixels,
                       int kind) {
    D3DSURFACE_DESC desc{};
    const int sourceSize = UploadSourceSize(kind);
    if (!texture || !pixels || sourceSize == 0 || !RectInsideLevel(texture, x, y, width, height, desc) ||
        FormatPixelSize(desc.Format) == 0) {
        VELK_WARNING("UpdateTexture: %dx%d at (%d, %d) of kind %d does not fit the texture", width, height, x, y,
                     kind);
        return;
    }
    const RECT rect{x, y, x + width, y + height};
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, &rect, 0))) {
        LogPrintf("failed to lock rect");
        return;
    }
    const auto* source = static_cast<const uint8_t*>(pixels);
    auto* destination = static_cast<uint8_t*>(locked.pBits);
    for (int row = 0; row < height; ++row) {
        WriteUploadRow(desc.Format, kind, source + static_cast<std::size_t>(row) * width * sourceSize,
                       destination + static_cast<std::ptrdiff_t>(row) * locked.Pitch, width);
    }
    if (FAILED(texture->UnlockRect(0))) LogPrintf("failed to unlock rect");
}

void D3D_SetLinearFiltering() {
    if (!g_d3d.device) return;
    g_d3d.device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    g_d3d.device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    g_d3d.device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
}

const char* D3D_ErrorName(HRESULT result) {
    switch (result) {
        case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
        case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
        case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
        case D3DERR_INVALIDDEVICE: return "D3DERR_INVALIDDEVICE";
        case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
        case D3DXERR_INVALIDDATA: return "D3DXERR_INVALIDDATA";
        default: return "Unknown error";
    }
}

const D3DPRESENT_PARAMETERS& D3D_PresentParameters() {
    return g_d3d.params;
}

void D3D_AttachDeviceForTest(IDirect3DDevice9* device) {
    if (device) device->AddRef();
    g_d3d.device = ComPtr<IDirect3DDevice9>(device);
    if (device) CreateVertexBuffer();
    else FreeVertexBuffer();
}

HRESULT D3D_LastTextureResult() {
    return g_d3d.lastTextureResult;
}
