#pragma once
// The native objects of one kind that the scripts hold by handle. A script can pass any
// pointer back (a released bitmap, a handle of another kind, a userdata of its own), so a
// handle is only ever turned into an object through this record: whatever it does not
// hold reads as null.
#include <lua.hpp>

#include <unordered_map>

template <class T>
class LiveHandles {
public:
    // One more reference the scripts hold on the object.
    void add(T* object) {
        if (object) ++counts_[object];
    }
    // One reference fewer; false when the scripts held none.
    bool release(const T* object) {
        const auto found = counts_.find(object);
        if (found == counts_.end()) return false;
        if (--found->second == 0) {
            counts_.erase(found);
            if (object == lastRead_) lastRead_ = nullptr;
        }
        return true;
    }
    // The live object argument `index` points at (light or full userdata), else null.
    T* read(lua_State* L, int index) const {
        const void* pointer = lua_touserdata(L, index);
        // Scripts pass one handle many times in a row: the last one read is tried first.
        if (pointer && pointer == lastRead_) return const_cast<T*>(lastRead_);
        const auto found = counts_.find(static_cast<const T*>(pointer));
        if (found == counts_.end()) return nullptr;
        lastRead_ = found->first;
        return const_cast<T*>(found->first);
    }
    bool contains(const T* object) const { return counts_.count(object) != 0; }
    void clear() {
        counts_.clear();
        lastRead_ = nullptr;
    }
    // Hands every held object to `release` once (for objects the scripts own), then
    // forgets them all.
    template <class Release>
    void clear(Release release) {
        for (const auto& [object, count] : counts_) release(const_cast<T*>(object));
        clear();
    }

private:
    std::unordered_map<const T*, int> counts_;
    mutable const T* lastRead_ = nullptr;  // live while it is in counts_
};
