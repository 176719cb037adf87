#include "storage/zip_entry_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kEncryptionHeaderSize = 12;
constexpr uLong kFlagEncrypted = 1;
constexpr uLong kFlagStrongEncryption = 64;
constexpr int kMethodStored = 0;
constexpr int kMethodDeflated = 8;

// The traditional zip encryption's three keys.
class ZipCipher {
public:
    explicit ZipCipher(const std::string& password) : table_(get_crc_table()) {
        for (const char c : password) Update(static_cast<unsigned char>(c));
    }

    void Decrypt(unsigned char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const uint32_t temp = (keys_[2] & 0xFFFF) | 2;
            data[i] ^= static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
            Update(data[i]);
        }
    }

private:
    uint32_t Crc(uint32_t crc, unsigned char byte) const {
        return static_cast<uint32_t>(table_[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
    }

    void Update(unsigned char plain) {
        keys_[0] = Crc(keys_[0], plain);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = Crc(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
    }

    const z_crc_t* table_;
    uint32_t keys_[3] = {305419896u, 591751049u, 878082192u};
};

// Grows the buffer only as data arrive: the sizes in the directory are claims, and a
// small damaged archive must not make us allocate what it says.
bool ReadRaw(unzFile archive, std::size_t expected, std::vector<unsigned char>& raw) {
    constexpr std::size_t kChunk = 1 << 20;
    raw.clear();
    while (raw.size() < expected) {
        const std::size_t total = raw.size();
        raw.resize(total + std::min(expected - total, kChunk));
        const int got = unzReadCurrentFile(archive, raw.data() + total, static_cast<unsigned>(raw.size() - total));
        if (got <= 0) return false;
        raw.resize(total + static_cast<std::size_t>(got));
    }
    return true;
}

// Deflate's best case is two bits for a run of 258 bytes: 1032 bytes out per byte in.
bool PlausibleSize(const unz_file_info64& info, std::size_t rawSize) {
    constexpr uint64_t kMaxDeflateRatio = 1032;
    if (info.compression_method == kMethodStored) return info.uncompressed_size == rawSize;
    return info.uncompressed_size <= rawSize * kMaxDeflateRatio;
}

// Strips and checks the encryption header; false for a wrong password. Writers put the
// checksum's or (with a data descriptor) the time's high byte last; either is taken, since
// the checksum of the whole entry is checked afterwards anyway.
bool Decrypt(const unz_file_info64& info, const std::string& password, std::vector<unsigned char>& raw) {
    ZipCipher cipher(password);
    cipher.Decrypt(raw.data(), raw.size());
    const unsigned char check = raw[kEncryptionHeaderSize - 1];
    raw.erase(raw.begin(), raw.begin() + kEncryptionHeaderSize);
    return check == static_cast<unsigned char>(info.crc >> 24) || check == static_cast<unsigned char>(info.dosDate >> 8);
}

bool Inflate(const std::vector<unsigned char>& raw, char* out, std::size_t size) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(raw.data());
    stream.avail_in = static_cast<uInt>(raw.size());
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = static_cast<uInt>(size);
    const int status = inflate(&stream, Z_FINISH);
    const bool complete = status == Z_STREAM_END && stream.total_out == size;
    inflateEnd(&stream);
    return complete;
}

ZipReadStatus Decode(const unz_file_info64& info, const std::vector<unsigned char>& raw, char* out) {
    const std::size_t size = static_cast<std::size_t>(info.uncompressed_size);
    if (info.compression_method == kMethodStored) {
        if (size) std::memcpy(out, raw.data(), size);
    } else if (!Inflate(raw, out, size)) {
        return ZipReadStatus::CannotRead;
    }
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out), static_cast<uInt>(size));
    return crc == info.crc ? ZipReadStatus::Read : ZipReadStatus::CannotRead;
}

ZipReadResult Failed(ZipReadStatus status) {
    ZipReadResult result;
    result.status = status;
    return result;
}

}  // namespace

ZipReadResult ReadCurrentZipEntry(unzFile archive, const std::string& password) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return Failed(ZipReadStatus::CannotOpen);
    const bool encrypted = info.flag & kFlagEncrypted;
    const bool supported = info.compression_method == kMethodStored || info.compression_method == kMethodDeflated;
    if (!supported || (info.flag & kFlagStrongEncryption) || (encrypted && password.empty())) return Failed(ZipReadStatus::CannotOpen);
    if (info.uncompressed_size > INT32_MAX || info.compressed_size > INT32_MAX) return Failed(ZipReadStatus::NoMemory);
    if (encrypted && info.compressed_size < kEncryptionHeaderSize) return Failed(ZipReadStatus::CannotRead);

    // Raw mode: the stored bytes as they are; decryption and inflation are ours.
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile3(archive, &method, &level, 1, nullptr) != UNZ_OK) return Failed(ZipReadStatus::CannotOpen);
    std::vector<unsigned char> raw;
    const bool readWhole = ReadRaw(archive, static_cast<std::size_t>(info.compressed_size), raw);
    unzCloseCurrentFile(archive);
    if (!readWhole) return Failed(ZipReadStatus::CannotRead);
    if (encrypted && !Decrypt(info, password, raw)) return Failed(ZipReadStatus::CannotOpen);
    if (!PlausibleSize(info, raw.size())) return Failed(ZipReadStatus::CannotRead);

    ZipReadResult result;
    result.size = static_cast<int32_t>(info.uncompressed_size);
    result.data = AllocateFileData(static_cast<std::size_t>(result.size));
    if (!result.data) return Failed(ZipReadStatus::NoMemory);
    result.status = Decode(info, raw, result.data.get());
    if (result.status != ZipReadStatus::Read) result.data.reset();
    return result;
}
