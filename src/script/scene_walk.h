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

class GameClass;

class OpenWalk {
public:
    OpenWalk(void (*close)(void*), void* subject);
    ~OpenWalk();
    OpenWalk(const OpenWalk&) = delete;
    OpenWalk& operator=(const OpenWalk&) = delete;

    static std::size_t count();
    // Closes, innermost first, every walk registered after the first `mark` ones.
    static void closeAbove(std::size_t mark);

private:
    std::size_t index_;
};

class SceneWalk {
public:
    SceneWalk();
    SceneWalk(const SceneWalk&) = delete;
    SceneWalk& operator=(const SceneWalk&) = delete;

    static bool active();
    static std::size_t pendingCount();
    // `container` let go of `object`: it is deleted when no walk is open (at once when
    // none is), unless the container goes first and takes it along.
    static void deleteLater(GameClass* object, GameClass* container);
    // `container` is being deleted: its children that still wait in the queue go now,
    // in queue order (their links to it must not outlive it).
    static void deleteQueuedChildren(const GameClass& container);

private:
    static void close(void*);
    OpenWalk open_;
};
