#pragma once
// The native objects of one kind that the scripts hold by handle. A script can pass any
// value back (a released handle, a handle of another kind, a userdata of its own), so a
// handle is only ever turned into an object through this record: whatever it does not
// hold reads as null.
//
// A handle is a token counted up for each object taken in, never the object's address:
// a freed object's address comes back for the next one, a token never does within a
// run, so a stale handle can not reach (or release) whatever lives there now.
#include <lua.hpp>

#include <cstdint>
#include <unordered_map>

// One count for every kind, so a handle of one kind is never one of another.
inline void* NextHandleToken() {
    static std::uintptr_t issued = 0;
    return reinterpret_cast<void*>(++issued);
}

template <class T>
class LiveHandles {
public:
    // One more reference the scripts hold on the object (not null); its handle, the
    // same for every reference held at a time.
    void* add(T* object) {
        const auto [at, fresh] = handleOf_.try_emplace(object, nullptr);
        if (fresh) at->second = NextHandleToken();
        Held& held = held_[at->second];
        held.object = object;
        ++held.references;
        return at->second;
    }
    // One reference fewer; false when the scripts held none. The last one retires the
    // handle for good.
    bool release(const T* object) {
        const auto handle = handleOf_.find(object);
        if (handle == handleOf_.end()) return false;
        const auto found = held_.find(handle->second);
        if (--found->second.references == 0) {
            if (found->first == lastHandle_) lastHandle_ = nullptr;
            held_.erase(found);
            handleOf_.erase(handle);
        }
        return true;
    }
    // The live object of the handle at argument `index`, else null.
    T* read(lua_State* L, int index) const {
        const void* handle = lua_touserdata(L, index);
        // Scripts pass one handle many times in a row: the last one read is tried first.
        if (handle && handle == lastHandle_) return lastObject_;
        const auto found = held_.find(handle);
        if (found == held_.end()) return nullptr;
        lastHandle_ = found->first;
        lastObject_ = found->second.object;
        return lastObject_;
    }
    void clear() {
        held_.clear();
        handleOf_.clear();
        lastHandle_ = nullptr;
    }
    // Hands every held object to `release` once (for objects the scripts own), then
    // forgets them all.
    template <class Release>
    void clear(Release release) {
        for (const auto& [handle, held] : held_) release(held.object);
        clear();
    }

private:
    struct Held {
        T* object = nullptr;
        int references = 0;
    };
    std::unordered_map<const void*, Held> held_;
    std::unordered_map<const T*, void*> handleOf_;
    mutable const void* lastHandle_ = nullptr;  // live while it is in held_
    mutable T* lastObject_ = nullptr;
};
