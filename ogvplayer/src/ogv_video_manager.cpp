#include "ogv_video_manager.h"

#include "ogv_log.h"

#include <algorithm>

OgvVideoManager::OgvVideoManager() {
    OgvLog("Initializing Ogg video playback library (" + getVersionString() + ")\n" +
           "  - libtheora version: Xiph.Org libtheora 1.1 20090822 (Thusnelda)\n" +
           "  - libvorbis version: Xiph.Org libVorbis 1.3.2\n" + "------------------------------------");
}

std::string OgvVideoManager::getVersionString() {
    return ogvIntToString(1) + "." + ogvIntToString(0) + " RC" + ogvIntToString(3);
}

OgvVideoClip* OgvVideoManager::createVideoClip(std::unique_ptr<OgvDataSource> source) {
    const std::lock_guard lock(mutex_);
    OgvLog("Creating video from data source: " + source->getName());
    auto clip = std::make_unique<OgvVideoClip>(std::move(source), defaultPrecachedFrames_);
    OgvVideoClip* const created = clip.get();
    clips_.push_back(std::move(clip));
    created->decodeNextFrame();
    return created;
}

void OgvVideoManager::destroyVideoClip(OgvVideoClip* clip) {
    if (!clip) return;
    OgvLog("Destroying video clip: " + clip->getName());
    const std::lock_guard lock(mutex_);
    const auto found =
        std::find_if(clips_.begin(), clips_.end(), [clip](const auto& owned) { return owned.get() == clip; });
    if (found == clips_.end()) return;
    clips_.erase(found);
    OgvLog("Destroyed video.");
}
