// The video player library on any clip bytes: open the clip (headers and duration), then
// play it through a bounded number of host frames, looping, so that decoding, the queue
// and the restart at the end all run. A clip that cannot be played throws OgvException.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fixtures/memory_source.h"
#include "ogv_exception.h"
#include "ogv_log.h"
#include "ogv_video_clip.h"

namespace {

constexpr int kHostFrames = 48;
constexpr int kPrecachedFrames = 4;

void Play(OgvVideoClip& clip, std::size_t size) {
    clip.setLoop(size % 2 == 0);
    const float step = clip.getFrameDuration() > 0 ? clip.getFrameDuration() : 0.04f;
    for (int i = 0; i < kHostFrames; ++i) {
        clip.update(step);
        clip.decodeNextFrame();
        if (clip.getNextFrame()) clip.popFrame();
    }
}

}  // namespace

// The library's console lines for every clip would drown libFuzzer's own.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    OgvSetLogFunction([](const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    try {
        OgvVideoClip clip(std::make_unique<MemorySource>(std::string(reinterpret_cast<const char*>(data), size)), kPrecachedFrames);
        Play(clip, size);
    } catch (const OgvException&) {
    }
    return 0;
}
