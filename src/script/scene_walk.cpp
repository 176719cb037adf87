#include "script/scene_walk.h"

#include <utility>
#include <vector>

#include "script/game_class.h"

namespace {

struct PendingDeletion {
    GameClass* object;  // null once deleted
    GameClass* container;
};

struct RegisteredWalk {
    void (*close)(void*);
    void* subject;
};

int g_depth = 0;
std::vector<PendingDeletion> g_pending;
// How far the running flush has come: an error escaping an on_destroy leaves the
// entries before it done, never to run twice.
std::size_t g_flushed = 0;
std::vector<RegisteredWalk> g_open;

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

OpenWalk::OpenWalk(void (*close)(void*), void* subject) : index_(g_open.size()) {
    g_open.push_back({close, subject});
}

OpenWalk::~OpenWalk() { closeAbove(index_); }

std::size_t OpenWalk::count() { return g_open.size(); }

void OpenWalk::closeAbove(std::size_t mark) {
    while (g_open.size() > mark) {
        const RegisteredWalk walk = g_open.back();
        g_open.pop_back();
        walk.close(walk.subject);
    }
}

SceneWalk::SceneWalk() : open_(close, nullptr) { ++g_depth; }

void SceneWalk::close(void*) {
    if (--g_depth == 0 && !g_pending.empty()) DeletePending();
}

bool SceneWalk::active() { return g_depth > 0; }

std::size_t SceneWalk::pendingCount() { return g_pending.size(); }

void SceneWalk::deleteLater(GameClass* object, GameClass* container) {
    if (!object) return;
    g_pending.push_back({object, container});
    if (container) ++container->queuedChildren;
    if (g_depth == 0) DeletePending();
}

// Only containers with children in the queue look: no search per deleted object.
void SceneWalk::deleteQueuedChildren(const GameClass& container) {
    for (std::size_t i = g_flushed; i < g_pending.size() && container.queuedChildren > 0; ++i)
        if (g_pending[i].object && g_pending[i].container == &container) DeleteEntry(i);
}
