#pragma once
// While the scene graph is busy (walking a child list, or running a script callback of
// one of its objects) nothing of it is deleted: callbacks can remove anything, even the
// object whose native code called them. A removed object leaves its container's list at
// once but keeps its own links (layer, owner, scene) and is queued; the queue is emptied
// when the outermost busy span ends, each object going whole into its on_destroy.
//
// Every open walk is registered with how to close it. A script error is a long jump:
// one that escapes a walk skips the walk's own closing, so wherever such an error lands
// and the game goes on (the script's pcall, xpcall and coroutine.resume, the console,
// the engine's own protected steps), the walks opened since are closed there.
#include <cstddef>
#include <optional>
#include <vector>

class GameClass;

class OpenWalk {
public:
    // Inline: every object of a frame opens a few of them.
    OpenWalk(void (*close)(void*), void* subject) : index_(open_.size()) { open_.push_back({close, subject}); }
    ~OpenWalk() { closeAbove(index_); }
    OpenWalk(const OpenWalk&) = delete;
    OpenWalk& operator=(const OpenWalk&) = delete;

    static std::size_t count() { return open_.size(); }
    // Closes, innermost first, every walk registered after the first `mark` ones.
    static void closeAbove(std::size_t mark) {
        while (open_.size() > mark) {
            const Registered walk = open_.back();
            open_.pop_back();
            walk.close(walk.subject);
        }
    }

private:
    struct Registered {
        void (*close)(void*);
        void* subject;
    };
    static inline std::vector<Registered> open_;
    std::size_t index_;
};

// Only the outermost walk counts: one opened inside it has nothing to add, and its
// frame goes (by return or by a long jump) before the outermost one's.
class SceneWalk {
public:
    SceneWalk() {
        if (!active()) open();
    }
    SceneWalk(const SceneWalk&) = delete;
    SceneWalk& operator=(const SceneWalk&) = delete;

    static bool active() { return active_; }
    static std::size_t pendingCount();
    // `container` let go of `object`: it is deleted when no walk is open (at once when
    // none is), unless the container goes first and takes it along.
    static void deleteLater(GameClass* object, GameClass* container);
    // `container` is being deleted: its children that still wait in the queue go now,
    // in queue order (their links to it must not outlive it).
    static void deleteQueuedChildren(const GameClass& container);

private:
    void open();
    static void close(void*);
    static inline bool active_ = false;
    std::optional<OpenWalk> open_;
};
