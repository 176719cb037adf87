#pragma once
// The graphics units' one way to stored files (the virtual file system's front end).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The whole file, or nothing when no container has it.
std::optional<std::vector<uint8_t>> LoadStoredFile(const std::string& name);
bool StoredFileExists(const std::string& name);
