#pragma once
// A rectangle of pixels in one format: a texture level, the back buffer, a depth buffer.
// Colour memory is laid out as the format is, row by row at Pitch; depth is kept as floats.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/device_child.h"
#include "platform/d3d9/pending_reads.h"

class SurfaceImpl final : public IDirect3DSurface9 {
public:
    // sampled: a texture level, which keeps 0xAARRGGBB texels for the rasteriser.
    // Throws std::bad_alloc.
    SurfaceImpl(DeviceChild& owner, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                bool sampled);
    ~SurfaceImpl() override;

    unsigned long AddRef() override { return owner_.AddRefCount(); }
    unsigned long Release() override { return owner_.ReleaseCount(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    DeviceChild& Owner() const { return owner_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    DWORD Usage() const { return usage_; }
    uint8_t* Bits() const { return reinterpret_cast<uint8_t*>(words_.get()); }
    int Pitch() const { return pitch_; }
    float* Depth() { return depth_.data(); }

    // What the rasteriser samples: 0xAARRGGBB words, TexelPitch words a row, OR-ed with
    // TexelAlpha (formats without alpha read opaque).
    const uint32_t* Texels() const;
    int TexelPitch() const;
    uint32_t TexelAlpha() const { return format_ == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0; }
    // After the device drew into it.
    void RefreshTexels();

    // The batch of the device's deferred drawing that last used this surface.
    uint64_t stamp = 0;
    // A texture written while drawing that samples it was pending: from then on the texels
    // pending draws sample are noted, and a lock elsewhere does not wait for them.
    bool TracksReads() const { return tracksReads_; }
    void NoteRead(uint64_t batch, const RECT& texels) { reads_.Note(batch, texels); }

private:
    void RefreshTexels(const RECT& rect);
    // Finishes the pending drawing that uses the surface where rect lies.
    void WaitForDrawsUsing(const RECT& rect);

    DeviceChild& owner_;
    const UINT width_, height_;
    const D3DFORMAT format_;
    const DWORD usage_;
    const D3DPOOL pool_;
    int pitch_ = 0;
    std::unique_ptr<uint32_t[]> words_;  // the format's bytes, kept in words for alignment
    std::vector<float> depth_;
    std::vector<uint32_t> texels_;  // only for 16-bit sampled formats
    bool locked_ = false;
    RECT lockedRect_{};
    const bool readOnlyByDraws_;  // sampled, never a target: pending draws only read it
    bool tracksReads_ = false;
    PendingReads reads_;
};

// A surface that is an object of its own (back buffer, depth buffers).
class StandaloneSurface final : public DeviceChild {
public:
    StandaloneSurface(DeviceImpl* device, bool holdsDevice, UINT width, UINT height, D3DFORMAT format,
                      DWORD usage)
        : DeviceChild(device, holdsDevice), surface(*this, width, height, format, usage, D3DPOOL_DEFAULT, false) {}

    SurfaceImpl surface;
};

// A new surface with one reference, or E_OUTOFMEMORY / D3DERR_INVALIDCALL.
HRESULT CreateStandaloneSurface(DeviceImpl* device, bool holdsDevice, UINT width, UINT height, D3DFORMAT format,
                                DWORD usage, IDirect3DSurface9** out);
// Largest side of any surface.
constexpr UINT kMaxSurfaceSide = 16384;
