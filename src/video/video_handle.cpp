#include "video/video_handle.h"

#include "core/frame_timer.h"
#include "core/log.h"
#include "graphics/texture.h"
#include "ogv_exception.h"
#include "ogv_video_manager.h"
#include "storage/storage.h"
#include "video/ogv_file_source.h"
#include "video/video_manager.h"

#include <memory>

namespace {

constexpr int kUploadRGB = 0;
constexpr int kUploadBGRA = 1;

// The library reports unplayable files by throwing; setup and update run inside script
// calls, which no C++ exception may cross, so the error ends the program here.
template <typename Call>
void Guarded(Call call) {
    try {
        call();
    } catch (const OgvException& e) {
        VELK_ERROR("%s", e.getErrorText().c_str());
    }
}

int TextureWidth(const VideoHandle& handle, const OgvVideoClip& clip) {
    return handle.alphaPacked ? clip.getWidth() / 2 : clip.getWidth();
}

// Colour from the left half, alpha from the right half's green, as B, G, R, A.
void PackAlphaFrame(const OgvVideoFrame& frame, int width, int height, std::vector<uint8_t>& out) {
    const int half = width / 2;
    out.resize(static_cast<std::size_t>(half) * height * 4);
    uint8_t* dst = out.data();
    for (int y = 0; y < height; ++y) {
        const uint8_t* colour = frame.pixels.data() + static_cast<std::size_t>(y) * width * 3;
        const uint8_t* alpha = colour + static_cast<std::size_t>(half) * 3;
        for (int x = 0; x < half; ++x, colour += 3, alpha += 3, dst += 4) {
            dst[0] = colour[2];
            dst[1] = colour[1];
            dst[2] = colour[0];
            dst[3] = alpha[1];
        }
    }
}

void Upload(VideoHandle& handle) {
    Texture* const texture = handle.texture;
    if (!texture || handle.shown.empty()) return;
    UpdateTexture(0, 0, texture, TextureWidth(handle, *handle.clip), handle.clip->getHeight(), handle.shown.data(),
                  handle.alphaPacked ? kUploadBGRA : kUploadRGB);
    handle.uploadedGeneration = texture->deviceGeneration;
}

void ReleaseTexture(VideoHandle& handle) {
    if (handle.texture) handle.texture->refCount -= 1;
    handle.texture = nullptr;
}

}  // namespace

Texture* OpenVideoClip(VideoHandle& handle, const std::string& name) {
    OgvVideoManager* const manager = GetVideoManager();
    if (!manager || name.empty()) return nullptr;
    manager->destroyVideoClip(handle.clip);
    handle.clip = nullptr;
    auto source = std::make_unique<OgvFileSource>(OpenFileDirectly(name), name);
    Guarded([&] { handle.clip = manager->createVideoClip(std::move(source)); });
    // Loading is not a long frame.
    GetFrameTimer().Reset();
    handle.clip->setLoop(handle.loop);
    ReleaseTexture(handle);
    handle.shown.clear();
    handle.texture = CreateBlankTexture(TextureWidth(handle, *handle.clip), handle.clip->getHeight(), 0, 0,
                                        handle.alphaPacked, false, false, true, true);
    return handle.texture;
}

void UpdateVideoClip(VideoHandle& handle, float dt) {
    OgvVideoClip* const clip = handle.clip;
    if (!clip) return;
    OgvVideoFrame* frame = nullptr;
    Guarded([&] {
        clip->update(dt);
        clip->decodeNextFrame();
        frame = clip->getNextFrame();
    });
    if (frame) {
        if (handle.alphaPacked) PackAlphaFrame(*frame, clip->getWidth(), clip->getHeight(), handle.shown);
        else handle.shown.assign(frame->pixels.begin(), frame->pixels.end());
        clip->popFrame();
        Upload(handle);
    } else if (handle.texture && handle.texture->deviceGeneration != handle.uploadedGeneration) {
        Upload(handle);
    }
}

void CloseVideoClip(VideoHandle& handle) {
    ReleaseTexture(handle);
    if (OgvVideoManager* const manager = GetVideoManager()) manager->destroyVideoClip(handle.clip);
    handle.clip = nullptr;
}
