#include "storage/scramble.h"

#include "core/log.h"

namespace {

constexpr char kKey[] = "k4v8n2q7w1x9c3m6z5b0r8t2y7p4d1f6g3h9j5l2s8a0e7u4";
constexpr int32_t kKeyLength = sizeof kKey - 1;
static_assert(kKeyLength == 48);

FileData Allocate(int32_t length) {
    FileData out = AllocateFileData(static_cast<std::size_t>(length));
    if (!out) VELK_ERROR("Storage: can't allocate %d bytes for scrambling", length);
    return out;
}

void ApplyKey(const char* in, char* out, int32_t length) {
    for (int32_t i = 0; i < length; ++i) out[i] = static_cast<char>(in[i] ^ kKey[i % kKeyLength]);
}

}  // namespace

bool IsScrambled(int32_t length, const char* data) {
    return length >= kScrambleHeaderSize && data[0] == 0x00 && data[1] == 0x0F;
}

FileData Storage_Scramble(int32_t length, const char* data, int32_t& newLength) {
    newLength = length + kScrambleHeaderSize;
    FileData out = Allocate(newLength);
    out[0] = 0x00;
    out[1] = 0x0F;
    ApplyKey(data, out.get() + kScrambleHeaderSize, length);
    return out;
}

FileData Storage_Unscramble(int32_t length, const char* data, int32_t& newLength) {
    if (!IsScrambled(length, data)) return nullptr;
    newLength = length - kScrambleHeaderSize;
    FileData out = Allocate(newLength);
    ApplyKey(data + kScrambleHeaderSize, out.get(), newLength);
    return out;
}
