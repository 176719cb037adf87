#include "audio/ogg_stream.h"

#include <AL/al.h>

#include <algorithm>

#include "core/log.h"
#include "storage/storage.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

VOggStream::~VOggStream() { close(); }

void VOggStream::open(const std::string& fileName) {
    FileStream file = OpenFileDirectly(fileName);
    if (!file) VELK_ERROR("OggStream(\"%s\") failed: fopen failed", fileName.c_str());
    const long start = std::ftell(file.get());
    std::fseek(file.get(), 0, SEEK_END);
    const long end = std::ftell(file.get());
    std::fseek(file.get(), start, SEEK_SET);
    int error = 0;
    // The decoder closes the file, also when it fails to open.
    decoder_ = stb_vorbis_open_file_section(file.release(), 1, &error, nullptr, static_cast<unsigned int>(end - start));
    if (!decoder_) VELK_ERROR("OggStream(\"%s\") failed: %d", fileName.c_str(), error);
    const stb_vorbis_info info = stb_vorbis_get_info(decoder_);
    if (info.channels < 1 || info.sample_rate < 1)
        VELK_ERROR("OggStream(\"%s\") failed: %d", fileName.c_str(), VORBIS_invalid_setup);
    channels = std::min(info.channels, kMaxStreamChannels);
    rate = static_cast<int>(info.sample_rate);
    samples = stb_vorbis_stream_length_in_samples(decoder_);
    totalBytes = samples * channels * 2;
    format = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    length = static_cast<float>(static_cast<double>(samples) / rate);
}

void VOggStream::close() {
    if (decoder_) stb_vorbis_close(decoder_);
    decoder_ = nullptr;
}

int VOggStream::read(char* buffer, int bytes) {
    if (!decoder_ || bytes <= 0) return 0;
    // Asking for fewer channels than the file has mixes them down.
    const int frames = stb_vorbis_get_samples_short_interleaved(decoder_, channels, reinterpret_cast<short*>(buffer),
                                                                bytes / 2);
    return frames * channels * 2;
}

void VOggStream::rewind() {
    if (!decoder_) return;
    stb_vorbis_seek_start(decoder_);
    if (stb_vorbis_get_error(decoder_) != VORBIS_missing_capture_pattern) return;
    LogPrintf("VORBIS_missing_capture_pattern in %s", name.c_str());
    close();
    open(path);
}
