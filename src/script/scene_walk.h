#pragma once
// While the scene graph is busy (walking a child list, or running a script callback of
// one of its objects) nothing of it is deleted: callbacks can remove anything, even the
// object whose native code called them. Removed objects are unlinked at once and
// queued; the queue is emptied when the outermost busy span ends.
#include <cstddef>

class GameClass;

class SceneWalk {
public:
    SceneWalk();
    ~SceneWalk();
    SceneWalk(const SceneWalk&) = delete;
    SceneWalk& operator=(const SceneWalk&) = delete;

    static bool active();
    static std::size_t pendingCount();
    // Deletes at once when no walk is open; `destroy` fires the object's on_destroy and
    // then deletes it.
    static void deleteLater(GameClass* object, void (*destroy)(GameClass*));
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
