#pragma once
// The graphics units' way to stored files, over the virtual file system.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The whole file, or nothing when no container has it.
std::optional<std::vector<uint8_t>> LoadStoredFile(const std::string& name);
// A file (not a directory) that some container holds.
bool StoredFileExists(const std::string& name);

enum class WriteResult { Written, CannotOpen, Incomplete };
// Writes a whole file into the writable container, its folders created as needed.
WriteResult SaveWritableFile(const std::string& name, const std::vector<uint8_t>& bytes);
