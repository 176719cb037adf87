#pragma once
// Video glue: a clip of a file of the virtual file system played into a texture.
//   VideoHandle                   what a video player holds: clip, texture, the frame shown
//   OpenVideoClip(handle, name)   (re)opens the clip and makes its texture; null without a
//                                 manager or a name. Unplayable files are fatal.
//   UpdateVideoClip(handle, dt)   advances the clip and uploads the frame that is due
//   CloseVideoClip(handle)        releases the texture and destroys the clip
#include <cstdint>
#include <string>
#include <vector>

class OgvVideoClip;
struct Texture;

struct VideoHandle {
    OgvVideoClip* clip = nullptr;  // owned through the manager
    bool alphaPacked = false;      // colour in the frame's left half, alpha in its right half
    bool loop = false;
    Texture* texture = nullptr;  // one reference
    // The last frame uploaded, as uploaded: a texture made anew (lost device, full-screen
    // toggle) gets it again.
    std::vector<uint8_t> shown;
    uint32_t uploadedGeneration = 0;
};

Texture* OpenVideoClip(VideoHandle& handle, const std::string& name);
void UpdateVideoClip(VideoHandle& handle, float dt);
void CloseVideoClip(VideoHandle& handle);
