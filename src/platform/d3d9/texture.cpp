#include "platform/d3d9/texture.h"

#include <new>

#include "platform/d3d9/device.h"
#include "platform/d3d9/pixel_format.h"

namespace {

UINT FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

}  // namespace

TextureImpl::TextureImpl(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                         D3DPOOL pool)
    : DeviceChild(device, true) {
    for (UINT i = 0; i < levels; ++i) {
        levels_.push_back(std::make_unique<SurfaceImpl>(*this, width, height, format, usage, pool, true));
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

HRESULT TextureImpl::Create(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                            D3DPOOL pool, IDirect3DTexture9** out) {
    if (!out || width == 0 || height == 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) return D3DERR_INVALIDCALL;
    if (StoredFormat(format) != format || IsDepthFormat(format)) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    const UINT chain = FullChainLength(width, height);
    if (levels == 0 || levels > chain) levels = chain;
    try {
        *out = new TextureImpl(device, width, height, levels, usage, format, pool);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT TextureImpl::GetDevice(IDirect3DDevice9** device) { return Level0().GetDevice(device); }

HRESULT TextureImpl::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    SurfaceImpl* surface = Level(level);
    return surface ? surface->GetDesc(desc) : D3DERR_INVALIDCALL;
}

HRESULT TextureImpl::GetSurfaceLevel(UINT level, IDirect3DSurface9** out) {
    SurfaceImpl* surface = Level(level);
    if (!surface || !out) return D3DERR_INVALIDCALL;
    surface->AddRef();
    *out = surface;
    return D3D_OK;
}

HRESULT TextureImpl::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    SurfaceImpl* surface = Level(level);
    return surface ? surface->LockRect(locked, rect, flags) : D3DERR_INVALIDCALL;
}

HRESULT TextureImpl::UnlockRect(UINT level) {
    SurfaceImpl* surface = Level(level);
    return surface ? surface->UnlockRect() : D3DERR_INVALIDCALL;
}
