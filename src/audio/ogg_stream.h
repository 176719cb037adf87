#pragma once
// Ogg Vorbis files decoded to 16-bit samples; more than two channels are mixed to stereo.
//   VOggStream   the decoded file as a stream; a rewind that loses the page sync reopens it
#include "audio/sound_stream.h"

struct stb_vorbis;

class VOggStream : public VSoundStream {
public:
    ~VOggStream() override;
    void open(const std::string& fileName) override;
    void close() override;
    int read(char* buffer, int bytes) override;
    void rewind() override;

private:
    stb_vorbis* decoder_ = nullptr;
};
