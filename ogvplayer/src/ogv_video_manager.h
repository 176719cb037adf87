#pragma once
// OgvVideoManager: owns every clip.
//   getVersionString()          "1.0 RC3"
//   createVideoClip(source)     loads the file, decodes its first frame; throws OgvException
//   destroyVideoClip(clip)      frees the clip and its data source (null: nothing)
//   clipCount()                 clips alive
#include "ogv_video_clip.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class OgvVideoManager {
public:
    OgvVideoManager();
    virtual ~OgvVideoManager() = default;
    OgvVideoManager(const OgvVideoManager&) = delete;
    OgvVideoManager& operator=(const OgvVideoManager&) = delete;

    static std::string getVersionString();
    OgvVideoClip* createVideoClip(std::unique_ptr<OgvDataSource> source);
    void destroyVideoClip(OgvVideoClip* clip);
    int clipCount() const { return static_cast<int>(clips_.size()); }

private:
    std::vector<std::unique_ptr<OgvVideoClip>> clips_;
    int defaultPrecachedFrames_ = 32;
    std::recursive_mutex mutex_;
};
