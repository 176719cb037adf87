#pragma once
// The graphics units' one way to stored files (the virtual file system's front end).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The whole file, or nothing when no container has it.
std::optional<std::vector<uint8_t>> LoadStoredFile(const std::string& name);
bool StoredFileExists(const std::string& name);

enum class WriteResult { Written, CannotOpen, Incomplete };
// Writes a whole file into the writable container, its folders created as needed.
WriteResult SaveWritableFile(const std::string& name, const std::vector<uint8_t>& bytes);
