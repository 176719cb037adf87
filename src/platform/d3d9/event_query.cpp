#include "platform/d3d9/event_query.h"

#include <new>

#include "platform/d3d9/device.h"

HRESULT EventQuery::Create(DeviceImpl* device, IDirect3DQuery9** out) {
    if (!out) return D3DERR_INVALIDCALL;
    try {
        *out = new EventQuery(device);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT EventQuery::Issue(DWORD flags) {
    if (!(flags & D3DISSUE_END)) return D3DERR_INVALIDCALL;
    batch_ = Device()->Batch();
    return D3D_OK;
}

HRESULT EventQuery::GetData(void* data, DWORD size, DWORD flags) {
    DeviceImpl* device = Device();
    if (device->IsLost()) return D3DERR_DEVICELOST;
    if (device->HasPendingWork(batch_)) {
        if (!(flags & D3DGETDATA_FLUSH)) return S_FALSE;
        device->Flush();
    }
    if (data && size >= sizeof(BOOL)) *static_cast<BOOL*>(data) = TRUE;
    return S_OK;
}
