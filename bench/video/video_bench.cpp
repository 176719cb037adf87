// Video playback speed on one core: frames per second of decoding plus colour conversion
// (the library alone), and of the whole per-frame path into a texture of the software
// device (decode, convert, keep, upload), at 640x360 and 1280x720, on a moving pattern
// under noise (flat frames would flatter the decoder).
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "fixtures/software_device.h"
#include "fixtures/data_directory.h"
#include "fixtures/memory_source.h"
#include "fixtures/theora_video.h"
#include "graphics/texture.h"
#include "ogv_log.h"
#include "ogv_video_manager.h"
#include "video/video_handle.h"
#include "video/video_manager.h"

namespace {

constexpr int kFrames = 60;       // in the clip, at 60 fps
constexpr int kPlayed = 600;      // frames timed per measurement (the clip loops)
constexpr float kStep = 1.0f / 60;

double FramesPerSecond(const std::chrono::steady_clock::time_point start) {
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    return kPlayed / seconds.count();
}

// Every frame is due in turn: one decode, one conversion and one pop per step.
double LibraryAlone(const std::string& video) {
    OgvVideoManager manager;
    OgvVideoClip* clip = manager.createVideoClip(std::make_unique<MemorySource>(video));
    clip->setLoop(true);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kPlayed; ++n) {
        clip->update(kStep);
        clip->decodeNextFrame();
        if (clip->getNextFrame()) clip->popFrame();
    }
    return FramesPerSecond(start);
}

double IntoTexture() {
    VideoHandle handle;
    handle.loop = true;
    OpenVideoClip(handle, "bench.ogv");
    UpdateVideoClip(handle, 0);
    const auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < kPlayed; ++n) UpdateVideoClip(handle, kStep);
    const double fps = FramesPerSecond(start);
    CloseVideoClip(handle);
    ReleaseUnusedTextures();
    return fps;
}

}  // namespace

int main() {
    OgvSetLogFunction([](const std::string&) {});
    if (!StartHiddenWindowRenderer(640, 360)) {
        std::fprintf(stderr, "no software device\n");
        return 1;
    }
    CreateVideoManager();
    const DataDirectory dir;
    const int sizes[][2] = {{640, 360}, {1280, 720}};
    for (const auto& size : sizes) {
        TheoraVideoSpec spec;
        spec.frameWidth = size[0];
        spec.frameHeight = (size[1] + 15) / 16 * 16;
        spec.pictureWidth = size[0];
        spec.pictureHeight = size[1];
        spec.fpsNumerator = 60;
        spec.frames = kFrames;
        spec.noisy = true;
        spec.quality = 48;
        const std::string video = MakeTheoraVideo(spec);
        dir.Write("bench.ogv", video);
        const double alone = LibraryAlone(video);
        const double full = IntoTexture();
        std::printf("%4dx%-4d %6.0f kbit/s  decode+convert %6.1f fps  decode+convert+upload %6.1f fps\n", size[0],
                    size[1], video.size() * 8.0 / 1000 / (kFrames / 60.0), alone, full);
    }
    DestroyVideoManager();
    return 0;
}
