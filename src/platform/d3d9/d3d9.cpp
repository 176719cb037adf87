// The Direct3D object: one adapter, the software device.
#include "platform/d3d9/d3d9.h"

#include <SDL.h>

#include "platform/d3d9/device.h"
#include "platform/d3d9/ref_counted.h"

namespace {

int g_failingCreates = 0;

class Direct3D9 final : public RefCounted<IDirect3D9> {
public:
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !caps) return D3DERR_INVALIDCALL;
        *caps = SoftwareDeviceCaps();
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
        if (adapter != D3DADAPTER_DEFAULT || !mode) return D3DERR_INVALIDCALL;
        *mode = {1024, 768, 60, D3DFMT_X8R8G8B8};
        SDL_DisplayMode desktop;
        if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            *mode = {static_cast<UINT>(desktop.w), static_cast<UINT>(desktop.h), static_cast<UINT>(desktop.refresh_rate),
                     SDL_BITSPERPIXEL(desktop.format) == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8};
        }
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device) override {
        if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || !params || !device) return D3DERR_INVALIDCALL;
        if (g_failingCreates > 0) {
            --g_failingCreates;
            return D3DERR_NOTAVAILABLE;
        }
        if (!params->Windowed && (params->BackBufferWidth == 0 || params->BackBufferHeight == 0))
            return D3DERR_INVALIDCALL;
        return DeviceImpl::Create(params, focusWindow, device);
    }
};

}  // namespace

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return new Direct3D9();
}

void D3D9Test_LoseDevice(IDirect3DDevice9* device) {
    if (auto* impl = dynamic_cast<DeviceImpl*>(device)) impl->RequestLoss();
}

void D3D9Test_FailCreateDevice(int n) { g_failingCreates = n; }
