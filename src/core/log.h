#pragma once
// The engine's one log ("log.txt" in the writable container), warnings and fatal errors.

#include <cstddef>
#include <string>

#define VELK_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

int LogPrintf(const char* format, ...) VELK_PRINTF(1, 2);
void LogWarning(const char* file, int line, const char* format, ...) VELK_PRINTF(3, 4);
// Logs, shows the error in dev_mode, then ends the process through the crash path.
// Nothing unwinds: script frames above it are never returned through.
[[noreturn]] void LogError(const char* file, int line, const char* format, ...) VELK_PRINTF(3, 4);
void ResetLogFile();
// This thread's warnings and fatal errors are logged only: message boxes belong to the
// main thread (the sound thread calls it).
void SetThreadLogOnly();

// The log file, kept by the storage, which installs these (no file until then).
struct LogFileHooks {
    bool (*append)(const char* text, std::size_t size);
    void (*remove)();
    // The file's full path; empty while there is no writable container.
    std::string (*path)();
};
void SetLogFileHooks(const LogFileHooks& hooks);
std::string LogFilePath();

// The developer console sits above the core: it installs this to take the log's echo
// (kind 3, under the log lock) and the scripts' print (kind 0). Nothing until then.
inline constexpr int kConsolePrint = 0;
inline constexpr int kConsoleLogEcho = 3;
using ConsoleSink = void (*)(const char* text, int kind);
void SetConsoleSink(ConsoleSink sink);
void PrintToConsole(const char* text, int kind);

#define VELK_WARNING(...) LogWarning(__FILE__, __LINE__, __VA_ARGS__)
#define VELK_ERROR(...) LogError(__FILE__, __LINE__, __VA_ARGS__)
