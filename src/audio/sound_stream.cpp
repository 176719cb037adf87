#include "audio/sound_stream.h"

#include "audio/ogg_stream.h"
#include "audio/wave_stream.h"
#include "core/log.h"
#include "storage/storage_path.h"

std::unique_ptr<VSoundStream> CreateSoundStream(const std::string& path) {
    // The extension alone decides: ".ogg" inside a folder name says nothing of the file.
    const std::string extension = GetExtension(path);
    std::unique_ptr<VSoundStream> stream;
    if (extension == "ogg") {
        stream = std::make_unique<VOggStream>();
    } else if (extension == "wav") {
        stream = std::make_unique<VWaveStream>();
    } else {
        VELK_ERROR("Unknown sound format for \"%s\"", path.c_str());
    }
    stream->path = path;
    stream->open(path);
    return stream;
}
