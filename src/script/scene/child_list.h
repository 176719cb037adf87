#pragma once
// The owned child list of a scene-graph container (layers of a scene, objects of a
// layer, components of an object). Callbacks run during a walk may add or remove
// children: while a walk is open, removal leaves a hole instead of shifting the list
// and additions go to the end, so walks go by index over the count taken at their
// start; the holes are closed when the last walk ends.
//
// A child that leaves keeps its links to the owner until it is deleted, and so does
// its transform parent link: children placed relative to a sibling that left fall
// back to the owner, since the sibling may be deleted first.
#include <lua.hpp>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/log.h"
#include "script/game_class.h"
#include "script/lua_bound.h"
#include "script/scene_walk.h"

template <class T>
class ChildList {
public:
    void append(T* child) { items_.push_back(child); }

    // Takes out, in list order, every child the predicate picks: `letGo` tells each one
    // it left, and each is deleted at the next safe point.
    template <class Pred, class LetGo>
    void removeIf(GameClass& owner, Pred pick, LetGo&& letGo) {
        std::vector<T*> removed;
        for (T*& child : items_) {
            if (!child || !pick(child)) continue;
            removed.push_back(child);
            child = nullptr;
            holes_ = true;
        }
        if (removed.empty()) return;
        if (walking_ == 0) compact();
        for (T* child : removed) letGo(child);
        for (T* child : removed) FallBackToOwner(*child, owner);
        for (T* child : items_)
            if (child) FallBackToOwner(*child, owner);
        for (T* child : removed) SceneWalk::deleteLater(child, &owner);
    }
    template <class LetGo>
    void removeAll(GameClass& owner, LetGo&& letGo) {
        removeIf(owner, [](const T*) { return true; }, letGo);
    }

    // The owner is being deleted (and takes no new children): every child goes now, each
    // whole while its on_destroy runs. First those let go of earlier, which may be placed
    // relative to a listed one; then the list first to last, each child leaving it as its
    // turn comes (again from the start should a script sort the list meanwhile); then any
    // that a script removed meanwhile.
    template <class LetGo>
    void deleteAll(GameClass& owner, LetGo&& letGo) {
        SceneWalk::deleteQueuedChildren(owner);
        for (T* child : items_)
            if (child && child->transformParent) child->transformParent = &owner;
        {
            Walk walk(*this);
            while (std::any_of(items_.begin(), items_.end(), [](const T* child) { return child; })) {
                for (std::size_t i = 0; i < items_.size(); ++i) {
                    T* child = std::exchange(items_[i], nullptr);
                    if (!child) continue;
                    holes_ = true;
                    letGo(child);
                    GameClass::destroy(child);
                }
            }
        }
        SceneWalk::deleteQueuedChildren(owner);
    }

    // First to last over the children present when the walk began.
    template <class F>
    void forEach(F&& visit) {
        Walk walk(*this);
        const std::size_t count = items_.size();
        for (std::size_t i = 0; i < count; ++i) {
            prefetchAhead(i, count);
            if (T* child = items_[i]) visit(child);
        }
    }

    // Last to first; `visit` returns false to stop. These walks (hit tests, hover) read a
    // field or two of most children: asking ahead for whole records and their children
    // cost them more than it saved.
    template <class F>
    void forEachReverseWhile(F&& visit) {
        Walk walk(*this);
        for (std::size_t i = items_.size(); i-- > 0;)
            if (T* child = items_[i]; child && !visit(child)) return;
    }

    // Asks for the children's records (step 1), or for the list that holds them (step 0).
    void prefetch(int step) const {
        if (step == 0) {
            PrefetchBytes(items_.data(), items_.size() * sizeof(T*));
            return;
        }
        for (const T* child : items_)
            if (child) PrefetchBytes(child, sizeof(T));
    }

    // The first child whose id equals the text; null when none or the id is null.
    T* findById(const char* id) const {
        if (!id) return nullptr;
        for (T* child : items_)
            if (child && child->id == id) return child;
        return nullptr;
    }

    // Stable, by ascending depth; holes sink to the end.
    void sortByDepth() {
        std::stable_sort(items_.begin(), items_.end(), [](const T* a, const T* b) {
            if (!a || !b) return a && !b;
            return a->z < b->z;
        });
    }

    // The tables of the children in list order, indexed from 1; a pattern in argument 2
    // with "*" at p > 0 keeps the ids that begin with its first p characters.
    // The prefix stays in the pattern's own string: an allocation of the state can fail
    // here and jump out, past anything that would need freeing.
    void pushTables(lua_State* L) const {
        std::string_view prefix;
        const int type = lua_type(L, 2);
        if (type == LUA_TSTRING || type == LUA_TNUMBER) {
            const char* pattern = lua_tostring(L, 2);
            if (const char* star = std::strchr(pattern, '*'); star && star != pattern)
                prefix = std::string_view(pattern, static_cast<std::size_t>(star - pattern));
        }
        lua_newtable(L);
        int index = 0;
        for (const T* child : items_) {
            if (!child || child->id.compare(0, prefix.size(), prefix) != 0) continue;
            LuaClass::pushTable(L, child);
            lua_rawseti(L, -2, ++index);
        }
    }

private:
    // Over thousands of children each one's record, and the records of its own children,
    // come from main memory: a walk that waits for them one at a time costs several times
    // as much per child as a walk over a few hundred. So, ahead of the walk, in stages that
    // each read only what the stage before brought in: a child's record, then its own
    // child list, then the records in that list.
    void prefetchAhead(std::size_t i, std::size_t count) const {
        const auto ahead = [&](std::size_t distance) -> const T* {
            return i + distance < count ? items_[i + distance] : nullptr;
        };
        if (const T* child = ahead(kRecordAhead)) PrefetchBytes(child, sizeof(T));
        if constexpr (requires(const T& t) { t.prefetchChildren(0); }) {
            if (const T* child = ahead(kListAhead)) child->prefetchChildren(0);
            if (const T* child = ahead(kChildrenAhead)) child->prefetchChildren(1);
        }
    }

    static void PrefetchBytes(const void* p, std::size_t bytes) {
        const char* const start = static_cast<const char*>(p);
        for (std::size_t line = 0; line < bytes; line += 64) __builtin_prefetch(start + line);
    }

    static constexpr std::size_t kRecordAhead = 3, kListAhead = 2, kChildrenAhead = 1;

    class Walk {
    public:
        explicit Walk(ChildList& list) : open_(close, &list) { ++list.walking_; }

    private:
        static void close(void* subject) {
            auto& list = *static_cast<ChildList*>(subject);
            if (--list.walking_ == 0) list.compact();
        }
        OpenWalk open_;
    };

    static void FallBackToOwner(T& child, GameClass& owner) {
        if (child.transformParent && child.transformParent != &owner && child.transformParent->leaving)
            child.transformParent = &owner;
    }

    void compact() {
        if (!holes_) return;
        std::erase(items_, nullptr);
        holes_ = false;
    }

    std::vector<T*> items_;
    int walking_ = 0;
    bool holes_ = false;
};

// The child argument of an attach method: null (nothing to attach) unless argument 2 is
// a live object of the expected kind and the container is not leaving (its on_destroy
// or a child's may run it: a container being deleted cannot take children it would then
// have to delete, without end for a script that replaces every child it loses); one
// already attached is a script error.
template <class T>
T* LuaArgChildOrNull(lua_State* L, const GameClass& container) {
    if (container.leaving) {
        VELK_WARNING("Attach: '%s' is being removed; nothing attached", container.id.c_str());
        return nullptr;
    }
    T* child = dynamic_cast<T*>(LuaArgAnyObjectOrNull(L));
    if (!child) {
        VELK_WARNING("Attach: argument 2 is not a live %s; nothing attached", T::kClassName);
        return nullptr;
    }
    LuaRefuseAttached(L, *child);
    return child;
}
