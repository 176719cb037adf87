#pragma once
// An event query: reached once the device has drawn everything recorded before Issue.
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/device_child.h"

class EventQuery final : public IDirect3DQuery9, public DeviceChild {
public:
    static HRESULT Create(DeviceImpl* device, IDirect3DQuery9** out);

    unsigned long AddRef() override { return AddRefCount(); }
    unsigned long Release() override { return ReleaseCount(); }
    HRESULT Issue(DWORD flags) override;
    HRESULT GetData(void* data, DWORD size, DWORD flags) override;

private:
    explicit EventQuery(DeviceImpl* device) : DeviceChild(device, true) {}
    ~EventQuery() override = default;

    uint64_t batch_ = 0;
};
