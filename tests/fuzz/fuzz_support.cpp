#include "fuzz_support.h"

#include <cstdarg>
#include <cstdio>

#include "core/log.h"
#include "graphics/fbo_render_buffer.h"
#include "storage/storage_container.h"

void LogError(const char*, int, const char* format, ...) {
    char message[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    throw FatalError(message);
}

// Nothing is logged: formatting is still checked by the compiler at the call sites.
int LogPrintf(const char*, ...) { return 0; }

void LogWarning(const char*, int, const char*, ...) {}

void SetLogFileHooks(const LogFileHooks&) {}

// The readers' textures never reach a back end: no OpenGL target is ever made here.
FBORenderBuffer::~FBORenderBuffer() {}

void LoadAndCheck(const StorageContainer& container, const std::string& name) {
    FileInfo info;
    (void)container.Stat(name, info);
    int32_t size = -1;
    if (const FileData data = container.LoadFile(name, &size))
        if (size < 0 || data[static_cast<std::size_t>(size)] != '\0') __builtin_trap();
}
