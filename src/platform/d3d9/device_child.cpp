#include "platform/d3d9/device_child.h"

#include "platform/d3d9/device.h"

DeviceChild::DeviceChild(DeviceImpl* device, bool holdsDevice) : device_(device), holdsDevice_(holdsDevice) {
    if (holdsDevice_) device_->AddRef();
}

DeviceChild::~DeviceChild() {
    if (refs_ != 0 && holdsDevice_) device_->Release();
}

// A bound object may be handed out again after its last reference went.
unsigned long DeviceChild::AddRefCount() {
    if (refs_++ == 0 && holdsDevice_) device_->AddRef();
    return refs_;
}

unsigned long DeviceChild::ReleaseCount() {
    const unsigned long left = --refs_;
    if (left == 0) {
        DeviceImpl* const held = holdsDevice_ ? device_ : nullptr;
        if (binds_ == 0) delete this;
        if (held) held->Release();
    }
    return left;
}

void DeviceChild::Unbind() {
    if (--binds_ == 0 && refs_ == 0) delete this;
}
