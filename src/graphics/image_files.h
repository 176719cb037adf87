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

// Stored names use "/" and no surrounding blanks (nor a trailing "/").
std::string NormalizeStoredName(const std::string& name);
// The extension of the last path component without its dot; empty when there is none.
std::string StoredNameExtension(const std::string& name);
std::string WithoutExtension(const std::string& name);
