#include "fuzz_support.h"

#include <cstdarg>
#include <cstdio>

#include "core/log.h"
#include "core/storage.h"

void LogError(const char*, int, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    throw FatalError(message);
}

FileData LoadFile(const std::string& name, int32_t*, bool required) {
    if (required) LogError(__FILE__, __LINE__, "Storage: LoadFile - file not found: %s", name.c_str());
    return nullptr;
}
