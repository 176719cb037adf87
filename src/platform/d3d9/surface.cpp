#include "platform/d3d9/surface.h"

#include <new>

#include "platform/d3d9/device.h"
#include "platform/d3d9/pixel_format.h"

namespace {

constexpr int kPitchAlign = 64;

}  // namespace

SurfaceImpl::SurfaceImpl(DeviceChild& owner, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool,
                         bool sampled)
    : owner_(owner),
      width_(width),
      height_(height),
      format_(format),
      usage_(usage),
      pool_(pool),
      readOnlyByDraws_(sampled && !(usage & D3DUSAGE_RENDERTARGET)) {
    if (IsDepthFormat(format)) {
        depth_.assign(static_cast<size_t>(width) * height, 1.0f);
        return;
    }
    const int rowBytes = static_cast<int>(width) * BytesPerPixel(format);
    pitch_ = (rowBytes + kPitchAlign - 1) / kPitchAlign * kPitchAlign;
    const size_t words = static_cast<size_t>(pitch_ / 4) * height;
    words_.reset(new uint32_t[words]());
    if (sampled && BytesPerPixel(format) == 2) {
        texels_.assign(static_cast<size_t>(width) * height, 0);
        RefreshTexels();
    }
}

SurfaceImpl::~SurfaceImpl() {
    if (DeviceImpl* device = owner_.Device()) device->FlushIfUses(stamp);
}

HRESULT SurfaceImpl::GetDevice(IDirect3DDevice9** device) {
    if (!device) return D3DERR_INVALIDCALL;
    *device = owner_.Device();
    (*device)->AddRef();
    return D3D_OK;
}

HRESULT SurfaceImpl::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = {format_, D3DRTYPE_SURFACE, usage_, pool_, D3DMULTISAMPLE_NONE, 0, width_, height_};
    return D3D_OK;
}

HRESULT SurfaceImpl::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD) {
    if (!locked || locked_ || IsDepthFormat(format_)) return D3DERR_INVALIDCALL;
    const RECT whole{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
    const RECT r = rect ? *rect : whole;
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > whole.right ||
        r.bottom > whole.bottom)
        return D3DERR_INVALIDCALL;
    WaitForDrawsUsing(r);
    locked->Pitch = pitch_;
    locked->pBits = Bits() + static_cast<size_t>(r.top) * pitch_ + static_cast<size_t>(r.left) * BytesPerPixel(format_);
    locked_ = true;
    lockedRect_ = r;
    return D3D_OK;
}

void SurfaceImpl::WaitForDrawsUsing(const RECT& rect) {
    DeviceImpl& device = *owner_.Device();
    if (tracksReads_) {
        if (!reads_.Overlaps(rect, [&device](uint64_t batch) { return device.HasPendingWork(batch); })) return;
        device.Flush();
        reads_.Clear();
        return;
    }
    if (readOnlyByDraws_ && device.Uses(stamp)) tracksReads_ = true;
    device.FlushIfUses(stamp);
}

HRESULT SurfaceImpl::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (!texels_.empty()) RefreshTexels(lockedRect_);
    return D3D_OK;
}

const uint32_t* SurfaceImpl::Texels() const { return texels_.empty() ? words_.get() : texels_.data(); }

int SurfaceImpl::TexelPitch() const { return texels_.empty() ? pitch_ / 4 : static_cast<int>(width_); }

void SurfaceImpl::RefreshTexels() {
    RefreshTexels(RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)});
}

void SurfaceImpl::RefreshTexels(const RECT& rect) {
    if (texels_.empty()) return;
    const int bpp = BytesPerPixel(format_);
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        const uint8_t* src = Bits() + static_cast<size_t>(y) * pitch_;
        uint32_t* dst = texels_.data() + static_cast<size_t>(y) * width_;
        for (LONG x = rect.left; x < rect.right; ++x) dst[x] = LoadPixel(src + x * bpp, format_);
    }
}

HRESULT CreateStandaloneSurface(DeviceImpl* device, bool holdsDevice, UINT width, UINT height, D3DFORMAT format,
                                DWORD usage, IDirect3DSurface9** out) {
    if (!out || width == 0 || height == 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide ||
        StoredFormat(format) != format)
        return D3DERR_INVALIDCALL;
    try {
        *out = &(new StandaloneSurface(device, holdsDevice, width, height, format, usage))->surface;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
