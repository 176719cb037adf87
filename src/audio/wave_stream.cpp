#include "audio/wave_stream.h"

#include <AL/al.h>

#include <algorithm>
#include <cstring>

#include "core/log.h"
#include "storage/storage.h"

namespace {

constexpr std::size_t kFormatPartSize = 36;
constexpr std::size_t kDataHeaderSize = 8;
constexpr uint16_t kPcmTag = 1;

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const unsigned char* p) { return static_cast<uint32_t>(Read16(p)) | static_cast<uint32_t>(Read16(p + 2)) << 16; }

int64_t FileSize(std::FILE* file) {
    std::fseek(file, 0, SEEK_END);
    const int64_t size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    return size;
}

}  // namespace

void VWaveStream::open(const std::string& fileName) {
    if (file_) VELK_ERROR("wave already open");
    file_ = OpenFileDirectly(fileName);
    if (!file_) VELK_ERROR("WaveStream(\"%s\") failed: fopen failed", fileName.c_str());
    readHeader(FileSize(file_.get()));
}

void VWaveStream::readHeader(int64_t fileSize) {
    unsigned char header[kFormatPartSize];
    if (std::fread(header, 1, sizeof header, file_.get()) != sizeof header) VELK_ERROR("Wrong wave file");
    const uint16_t channelCount = Read16(header + 22);
    const uint32_t sampleRate = Read32(header + 24);
    const uint16_t bits = Read16(header + 34);
    const bool tagsMatch = std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0 &&
                           std::memcmp(header + 12, "fmt ", 4) == 0;
    if (!tagsMatch || Read16(header + 20) != kPcmTag || (channelCount != 1 && channelCount != 2) ||
        (bits != 8 && bits != 16) || sampleRate == 0 || sampleRate > INT32_MAX)
        VELK_ERROR("Incompatible wave format");
    unsigned char data[kDataHeaderSize];
    if (std::fread(data, 1, sizeof data, file_.get()) != sizeof data || std::memcmp(data, "data", 4) != 0)
        VELK_ERROR("Wrong wave data");

    channels = channelCount;
    rate = static_cast<int>(sampleRate);
    const int bytesPerFrame = channels * bits / 8;
    dataBegin_ = static_cast<int64_t>(kFormatPartSize + kDataHeaderSize);
    // The size is the file's word; the file's end and whole frames bound it, since OpenAL
    // refuses a buffer with a partial frame.
    int64_t size = std::min<int64_t>(Read32(data + 4), std::max<int64_t>(fileSize - dataBegin_, 0));
    size -= size % bytesPerFrame;
    dataEnd_ = dataBegin_ + size;
    position_ = dataBegin_;
    totalBytes = size;
    if (bits == 8) {
        format = channels == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_STEREO8;
    } else {
        format = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    }
    length = static_cast<float>(static_cast<double>(size) / (static_cast<double>(rate) * bytesPerFrame));
    samples = size / bytesPerFrame;
}

void VWaveStream::close() { file_.reset(); }

int VWaveStream::read(char* buffer, int bytes) {
    if (!file_ || bytes <= 0) return 0;
    const auto wanted = static_cast<std::size_t>(std::min<int64_t>(bytes, dataEnd_ - position_));
    const std::size_t got = std::fread(buffer, 1, wanted, file_.get());
    position_ += static_cast<int64_t>(got);
    return static_cast<int>(got);
}

void VWaveStream::rewind() {
    if (!file_) return;
    std::fseek(file_.get(), static_cast<long>(dataBegin_), SEEK_SET);
    position_ = dataBegin_;
}
