#include "core/storage.h"

bool AppendToLogFile(const char*, std::size_t) { return false; }
void RemoveLogFile() {}
