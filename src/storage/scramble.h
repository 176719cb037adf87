#pragma once
// Scrambled files: the bytes 00 0F, then the payload XOR-ed with a 48-byte key.
#include <cstdint>

#include "storage/storage_container.h"

inline constexpr int32_t kScrambleHeaderSize = 2;

// A new buffer of length + 2 bytes.
FileData Storage_Scramble(int32_t length, const char* data, int32_t& newLength);
// Null when the data lack the header (not scrambled); else the payload, which may be empty.
FileData Storage_Unscramble(int32_t length, const char* data, int32_t& newLength);
bool IsScrambled(int32_t length, const char* data);
