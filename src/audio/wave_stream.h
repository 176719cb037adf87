#pragma once
// RIFF WAVE files: PCM, 8 or 16 bits, mono or stereo, a 16-byte format chunk followed
// directly by the data chunk.
//   VWaveStream   the data chunk as a stream; never reads past it or past the file
#include "storage/storage_container.h"
#include "audio/sound_stream.h"

class VWaveStream : public VSoundStream {
public:
    void open(const std::string& fileName) override;
    void close() override;
    int read(char* buffer, int bytes) override;
    void rewind() override;

private:
    void readHeader(int64_t fileSize);

    FileStream file_;
    int64_t dataBegin_ = 0;
    int64_t dataEnd_ = 0;
    int64_t position_ = 0;
};
