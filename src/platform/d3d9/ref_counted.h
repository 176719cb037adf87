#pragma once
// The reference count of an object that owns itself: the last Release deletes it.
template <class Interface>
class RefCounted : public Interface {
public:
    unsigned long AddRef() override { return ++refs_; }
    unsigned long Release() override {
        const unsigned long left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    RefCounted() = default;
    ~RefCounted() override = default;

private:
    unsigned long refs_ = 1;
};
