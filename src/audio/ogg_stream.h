#pragma once
// Ogg Vorbis files decoded to 16-bit samples; more than two channels are mixed to stereo.
//   VOggStream   the decoded file as a stream; a rewind that loses the page sync reopens it
#include <memory>

#include "audio/sound_stream.h"
#include "storage/storage.h"

struct OggVorbis_File;

class VOggStream : public VSoundStream {
public:
    ~VOggStream() override;
    void open(const std::string& fileName) override;
    void close() override;
    int read(char* buffer, int bytes) override;
    void rewind() override;

    // The section of the file the decoder reads; the decoder only sees offsets inside it.
    struct Source {
        FileStream file;
        long start = 0;
        long end = 0;
    };

private:
    struct DecoderCloser {
        void operator()(OggVorbis_File* decoder) const;
    };

    int mixFrames(short* out, int maxFrames);

    Source source_;
    std::unique_ptr<OggVorbis_File, DecoderCloser> decoder_;
};
