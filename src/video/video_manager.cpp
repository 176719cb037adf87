#include "video/video_manager.h"

#include "ogv_video_manager.h"

#include <memory>

namespace {

std::unique_ptr<OgvVideoManager> g_manager;

}  // namespace

void CreateVideoManager() { g_manager = std::make_unique<OgvVideoManager>(); }

OgvVideoManager* GetVideoManager() { return g_manager.get(); }

void DestroyVideoManager() { g_manager.reset(); }
