#include "script/scene_walk.h"

#include <utility>
#include <vector>

#include "script/game_class.h"

namespace {

struct PendingDeletion {
    GameClass* object;  // null once deleted
    GameClass* container;
};

std::vector<PendingDeletion> g_pending;
// How far the running flush has come: an error escaping an on_destroy leaves the
// entries before it done, never to run twice.
std::size_t g_flushed = 0;

// The entry is emptied first: an error escaping the deletion never runs it twice, and a
// container that goes later skips it.
void DeleteEntry(std::size_t index) {
    GameClass* object = std::exchange(g_pending[index].object, nullptr);
    if (!object) return;
    if (GameClass* container = g_pending[index].container) --container->queuedChildren;
    GameClass::destroy(object);
}

// Runs inside a walk of its own: deleting can run on_destroy scripts, which can remove
// more objects; those join the queue and go in the same loop.
void DeletePending() {
    SceneWalk flush;
    while (g_flushed < g_pending.size()) DeleteEntry(g_flushed++);
    g_pending.clear();
    g_flushed = 0;
}

}  // namespace

void SceneWalk::open() {
    open_.emplace(close, nullptr);
    active_ = true;
}

void SceneWalk::close(void*) {
    active_ = false;
    if (!g_pending.empty()) DeletePending();
}

std::size_t SceneWalk::pendingCount() { return g_pending.size(); }

void SceneWalk::deleteLater(GameClass* object, GameClass* container) {
    if (!object) return;
    g_pending.push_back({object, container});
    if (container) ++container->queuedChildren;
    if (!active_) DeletePending();
}

// Only containers with children in the queue look: no search per deleted object.
void SceneWalk::deleteQueuedChildren(const GameClass& container) {
    for (std::size_t i = g_flushed; i < g_pending.size() && container.queuedChildren > 0; ++i)
        if (g_pending[i].object && g_pending[i].container == &container) DeleteEntry(i);
}
