#include "audio/ogg_stream.h"

#include <AL/al.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "core/log.h"

namespace {

// The decoder's error numbers this engine has always reported.
constexpr int kFeatureNotSupported = 4;
constexpr int kTooManyChannels = 5;
constexpr int kUnexpectedEof = 10;
constexpr int kInvalidSetup = 20;
constexpr int kInvalidStream = 21;
constexpr int kMissingCapturePattern = 30;
constexpr int kInvalidStreamStructureVersion = 31;

int EngineError(int code) {
    switch (code) {
        case OV_EREAD: return kUnexpectedEof;
        case OV_ENOTVORBIS: return kMissingCapturePattern;
        case OV_EBADHEADER: return kInvalidSetup;
        case OV_EVERSION: return kInvalidStreamStructureVersion;
        case OV_EIMPL: return kFeatureNotSupported;
        default: return kInvalidStream;
    }
}

size_t SourceRead(void* data, size_t size, size_t count, void* source) {
    auto* s = static_cast<VOggStream::Source*>(source);
    const long position = std::ftell(s->file.get());
    if (size == 0 || position < s->start || position >= s->end) return 0;
    const size_t left = static_cast<size_t>(s->end - position) / size;
    return std::fread(data, size, std::min(count, left), s->file.get());
}

int SourceSeek(void* source, ogg_int64_t offset, int whence) {
    auto* s = static_cast<VOggStream::Source*>(source);
    const ogg_int64_t base = whence == SEEK_SET   ? s->start
                             : whence == SEEK_END ? s->end
                                                  : std::ftell(s->file.get());
    const ogg_int64_t target = base + offset;
    if (target < s->start || target > s->end) return -1;
    return std::fseek(s->file.get(), static_cast<long>(target), SEEK_SET);
}

long SourceTell(void* source) {
    auto* s = static_cast<VOggStream::Source*>(source);
    return std::ftell(s->file.get()) - s->start;
}

// Vorbis channel order for 3 to 8 channels, as left and right weights.
struct Pan {
    float left, right;
};
constexpr float kHalf = 0.70710678f;
constexpr Pan L{1, 0}, R{0, 1}, C{kHalf, kHalf};
constexpr int kMaxMixChannels = 8;
constexpr std::array<std::array<Pan, kMaxMixChannels>, kMaxMixChannels + 1> kLayouts{{
    {},
    {},
    {},
    {L, C, R},                    // L C R
    {L, R, L, R},                 // FL FR RL RR
    {L, C, R, L, R},              // FL C FR RL RR
    {L, C, R, L, R, C},           // FL C FR RL RR LFE
    {L, C, R, L, R, C, C},        // FL C FR SL SR RC LFE
    {L, C, R, L, R, L, R, C},     // FL C FR SL SR RL RR LFE
}};

short ToSample(float value) {
    return static_cast<short>(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
}

// Mixes `frames` frames of `inChannels` planar channels to `outChannels` interleaved ones.
void Mix(float** pcm, int inChannels, int outChannels, int frames, short* out) {
    if (inChannels <= outChannels) {
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < outChannels; ++c) out[f * outChannels + c] = ToSample(pcm[std::min(c, inChannels - 1)][f]);
        return;
    }
    if (outChannels == 1 || inChannels == 2) {
        // A stereo stream never gets here with two input channels; a mono one averages them all.
        for (int f = 0; f < frames; ++f) {
            float sum = 0;
            for (int c = 0; c < inChannels; ++c) sum += pcm[c][f];
            out[f] = ToSample(sum / static_cast<float>(inChannels));
        }
        return;
    }
    const auto& layout = kLayouts[static_cast<size_t>(inChannels)];
    float leftSum = 0, rightSum = 0;
    for (int c = 0; c < inChannels; ++c) {
        leftSum += layout[static_cast<size_t>(c)].left;
        rightSum += layout[static_cast<size_t>(c)].right;
    }
    for (int f = 0; f < frames; ++f) {
        float left = 0, right = 0;
        for (int c = 0; c < inChannels; ++c) {
            left += pcm[c][f] * layout[static_cast<size_t>(c)].left;
            right += pcm[c][f] * layout[static_cast<size_t>(c)].right;
        }
        out[f * 2] = ToSample(left / leftSum);
        out[f * 2 + 1] = ToSample(right / rightSum);
    }
}

}  // namespace

void VOggStream::DecoderCloser::operator()(OggVorbis_File* decoder) const {
    ov_clear(decoder);
    delete decoder;
}

VOggStream::~VOggStream() { close(); }

void VOggStream::open(const std::string& fileName) {
    source_.file = OpenFileDirectly(fileName);
    if (!source_.file) VELK_ERROR("OggStream(\"%s\") failed: fopen failed", fileName.c_str());
    source_.start = std::ftell(source_.file.get());
    std::fseek(source_.file.get(), 0, SEEK_END);
    source_.end = std::ftell(source_.file.get());
    std::fseek(source_.file.get(), source_.start, SEEK_SET);
    // The stream owns the file; the decoder must not close it.
    const ov_callbacks callbacks{SourceRead, SourceSeek, nullptr, SourceTell};
    auto decoder = std::make_unique<OggVorbis_File>();
    const int error = ov_open_callbacks(&source_, decoder.get(), nullptr, 0, callbacks);
    if (error != 0) VELK_ERROR("OggStream(\"%s\") failed: %d", fileName.c_str(), EngineError(error));
    decoder_.reset(decoder.release());
    const vorbis_info* info = ov_info(decoder_.get(), -1);
    if (!info || info->channels < 1 || info->rate < 1)
        VELK_ERROR("OggStream(\"%s\") failed: %d", fileName.c_str(), kInvalidSetup);
    if (info->channels > kMaxMixChannels)
        VELK_ERROR("OggStream(\"%s\") failed: %d", fileName.c_str(), kTooManyChannels);
    channels = std::min(info->channels, kMaxStreamChannels);
    rate = static_cast<int>(info->rate);
    samples = std::max<ogg_int64_t>(ov_pcm_total(decoder_.get(), -1), 0);
    totalBytes = samples * channels * 2;
    format = channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
    length = static_cast<float>(static_cast<double>(samples) / rate);
}

void VOggStream::close() {
    decoder_.reset();
    source_.file.reset();
}

int VOggStream::mixFrames(short* out, int maxFrames) {
    float** pcm = nullptr;
    int link = 0;
    const long frames = ov_read_float(decoder_.get(), &pcm, maxFrames, &link);
    if (frames <= 0) return static_cast<int>(frames);
    const vorbis_info* info = ov_info(decoder_.get(), link);
    // A later link of a chained file may have a layout this stream can not mix.
    if (!info || info->channels < 1 || info->channels > kMaxMixChannels) return 0;
    Mix(pcm, info->channels, channels, static_cast<int>(frames), out);
    return static_cast<int>(frames);
}

int VOggStream::read(char* buffer, int bytes) {
    if (!decoder_ || bytes <= 0) return 0;
    short* out = reinterpret_cast<short*>(buffer);
    const int maxFrames = bytes / (2 * channels);
    int done = 0;
    // A hole (lost pages) is skipped; any other decoder error ends the stream.
    while (done < maxFrames) {
        const int frames = mixFrames(out + done * channels, maxFrames - done);
        if (frames == OV_HOLE) continue;
        if (frames <= 0) break;
        done += frames;
    }
    return done * channels * 2;
}

void VOggStream::rewind() {
    if (!decoder_) return;
    if (ov_raw_seek(decoder_.get(), 0) == 0) return;
    LogPrintf("VORBIS_missing_capture_pattern in %s", name.c_str());
    close();
    open(path);
}
