#include "script/scene_walk.h"

#include <utility>
#include <vector>

namespace {

struct PendingDeletion {
    GameClass* object;
    void (*destroy)(GameClass*);
};

int g_depth = 0;
std::vector<PendingDeletion> g_pending;

// Runs inside a walk of its own: deleting can run on_destroy scripts, which can remove
// more objects; those join the queue and go in the same loop.
void DeletePending() {
    SceneWalk flush;
    for (std::size_t i = 0; i < g_pending.size(); ++i) {
        const PendingDeletion entry = g_pending[i];
        entry.destroy(entry.object);
    }
    g_pending.clear();
}

}  // namespace

SceneWalk::SceneWalk() { ++g_depth; }

SceneWalk::~SceneWalk() {
    if (--g_depth == 0 && !g_pending.empty()) DeletePending();
}

bool SceneWalk::active() { return g_depth > 0; }

std::size_t SceneWalk::pendingCount() { return g_pending.size(); }

void SceneWalk::deleteLater(GameClass* object, void (*destroy)(GameClass*)) {
    if (!object) return;
    g_pending.push_back({object, destroy});
    if (g_depth == 0) DeletePending();
}
