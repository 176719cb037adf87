#pragma once
// While the scene graph is busy (walking a child list, or running a script callback of
// one of its objects) nothing of it is deleted: callbacks can remove anything, even the
// object whose native code called them. Removed objects are unlinked at once and
// queued; the queue is emptied when the outermost busy span ends.
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
    // Deletes at once when no walk is open; `destroy` fires the object's on_destroy and
    // then deletes it.
    static void deleteLater(GameClass* object, void (*destroy)(GameClass*));

private:
    static void close(void*);
    OpenWalk open_;
};

// Queues a scene-graph object for deletion through its own class: its beforeDestroy
// (on_destroy, while the object is whole) and then its destructor.
template <class T>
void DestroyLater(T* object) {
    SceneWalk::deleteLater(object, [](GameClass* queued) {
        T* doomed = static_cast<T*>(queued);
        doomed->beforeDestroy();
        delete doomed;
    });
}
