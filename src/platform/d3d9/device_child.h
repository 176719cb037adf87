#pragma once
// Reference counting shared by the device's textures and surfaces. Callers hold references;
// the device holds bindings (current texture, target, depth buffer), which keep an object
// alive without keeping the device alive, so releasing everything frees everything.
class DeviceImpl;

class DeviceChild {
public:
    DeviceChild(DeviceImpl* device, bool holdsDevice);
    DeviceChild(const DeviceChild&) = delete;
    DeviceChild& operator=(const DeviceChild&) = delete;

    unsigned long AddRefCount();
    unsigned long ReleaseCount();
    void Bind() { ++binds_; }
    void Unbind();
    DeviceImpl* Device() const { return device_; }

protected:
    // Only reached with references left when a derived constructor threw.
    virtual ~DeviceChild();

private:
    DeviceImpl* device_;
    bool holdsDevice_;
    unsigned long refs_ = 1;
    int binds_ = 0;
};

// Holds one binding on an object that lives in a DeviceChild.
template <class T>
class Binding {
public:
    Binding() = default;
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;
    ~Binding() { Set(nullptr); }

    void Set(T* object) {
        if (object) object->Owner().Bind();
        if (T* old = object_) {
            object_ = nullptr;
            old->Owner().Unbind();
        }
        object_ = object;
    }
    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};
