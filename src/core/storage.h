#pragma once
// Storage front end. (Grows into the virtual file system.)
#include <cstddef>

// Appends text to "log.txt" in the writable container; false when there is none.
bool AppendToLogFile(const char* text, std::size_t size);
void RemoveLogFile();
