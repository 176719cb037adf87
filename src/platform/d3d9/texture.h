#pragma once
// A texture: a chain of surface levels the device samples from (level 0 only).
#include <memory>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/surface.h"

class TextureImpl final : public IDirect3DTexture9, public DeviceChild {
public:
    // levels 0: a full chain down to 1 x 1.
    static HRESULT Create(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** out);

    unsigned long AddRef() override { return AddRefCount(); }
    unsigned long Release() override { return ReleaseCount(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    SurfaceImpl& Level0() const { return *levels_.front(); }
    DeviceChild& Owner() { return *this; }

private:
    TextureImpl(DeviceImpl* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                D3DPOOL pool);
    ~TextureImpl() override = default;
    SurfaceImpl* Level(UINT level) const { return level < levels_.size() ? levels_[level].get() : nullptr; }

    std::vector<std::unique_ptr<SurfaceImpl>> levels_;
};
