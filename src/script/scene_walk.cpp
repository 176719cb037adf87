#include "script/scene_walk.h"

#include <utility>
#include <vector>

namespace {

struct PendingDeletion {
    GameClass* object;
    void (*destroy)(GameClass*);
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

// Runs inside a walk of its own: deleting can run on_destroy scripts, which can remove
// more objects; those join the queue and go in the same loop.
void DeletePending() {
    SceneWalk flush;
    while (g_flushed < g_pending.size()) {
        const PendingDeletion entry = g_pending[g_flushed++];
        entry.destroy(entry.object);
    }
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

void SceneWalk::deleteLater(GameClass* object, void (*destroy)(GameClass*)) {
    if (!object) return;
    g_pending.push_back({object, destroy});
    if (g_depth == 0) DeletePending();
}
