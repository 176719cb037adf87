#pragma once
// Sound files as interleaved PCM in a layout OpenAL takes directly. Sound thread only.
//   VSoundStream          one open sound file: format fields, read, rewind
//   CreateSoundStream     an open stream of the kind the file's extension names
//   kMaxStreamChannels    streams give at most stereo
#include <cstdint>
#include <memory>
#include <string>

inline constexpr int kMaxStreamChannels = 2;

class VSoundStream {
public:
    virtual ~VSoundStream() = default;
    virtual void open(const std::string& fileName) = 0;
    virtual void close() = 0;
    // Up to `bytes` bytes of whole frames; 0 at the end.
    virtual int read(char* buffer, int bytes) = 0;
    virtual void rewind() = 0;

    int channels = 0;
    int rate = 0;
    int format = 0;    // AL_FORMAT_MONO8 .. AL_FORMAT_STEREO16
    std::string name;  // what the channel shows: the sound id or the music name
    float length = 0;  // seconds
    int64_t samples = 0;
    int64_t totalBytes = 0;
    std::string path;
};

// Fatal "Unknown sound format" unless the extension is exactly "ogg" or "wav".
std::unique_ptr<VSoundStream> CreateSoundStream(const std::string& path);
