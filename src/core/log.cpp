#include "core/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/config.h"
#include "core/crash.h"
#include "platform/linux/message_box.h"

namespace {

constexpr std::size_t kLineLimit = 1020;

LogFileHooks g_file{};
// Read by every thread that logs.
std::atomic<ConsoleSink> g_console{nullptr};
thread_local bool t_logOnly = false;

bool ShowsMessageBoxes() { return g_config.dev_mode && !t_logOnly; }

// The sound thread logs too: one lock keeps its lines whole in the file and on stderr.
std::mutex& LogMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string FormatLimited(const char* format, va_list args) {
    char buffer[kLineLimit + 1];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

void WriteLine(std::string text) {
    if (!g_config.create_log) return;
    if (text.size() > kLineLimit) text.resize(kLineLimit);
    if (!text.empty() && text.back() != '\n') text += '\n';
    const std::lock_guard lock(LogMutex());
    if (g_file.append) g_file.append(text.data(), text.size());
    std::fwrite(text.data(), 1, text.size(), stderr);
    // Under the same lock, so the console gets the lines in the file's order.
    PrintToConsole(text.c_str(), kConsoleLogEcho);
}

std::string BaseName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}

std::string Limited(std::string text) {
    if (text.size() > kLineLimit) text.resize(kLineLimit);
    return text;
}

}  // namespace

int LogPrintf(const char* format, ...) {
    if (!g_config.create_log) return 0;
    va_list args;
    va_start(args, format);
    std::string text = FormatLimited(format, args);
    va_end(args);
    WriteLine(std::move(text));
    return 0;
}

void LogWarning(const char* file, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatLimited(format, args);
    va_end(args);
    const std::string text = Limited("WARNING AT " + std::string(file) + " LINE " + std::to_string(line) + ":\n" + message);
    WriteLine(text);
    if (ShowsMessageBoxes()) ShowMessageBox(text, "WARNING", MessageBoxKind::Information);
}

void LogError(const char* file, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = FormatLimited(format, args);
    va_end(args);
    const std::string text = Limited("ERROR AT " + BaseName(file) + ", LINE " + std::to_string(line) + ":\n" + message);
    WriteLine("\n----------");
    WriteLine(text);
    if (ShowsMessageBoxes()) ShowMessageBox(text, "ERROR", MessageBoxKind::Error);
    // With neither a log nor a box the process would end without a word.
    else if (!g_config.create_log) std::fprintf(stderr, "%s\n", text.c_str());
    EndProcessAfterFatalError();
}

void ResetLogFile() {
    if (g_config.create_log && g_file.remove) g_file.remove();
}

void SetLogFileHooks(const LogFileHooks& hooks) {
    const std::lock_guard lock(LogMutex());
    g_file = hooks;
}

std::string LogFilePath() { return g_file.path ? g_file.path() : std::string(); }

void SetThreadLogOnly() { t_logOnly = true; }

void SetConsoleSink(ConsoleSink sink) { g_console.store(sink); }

void PrintToConsole(const char* text, int kind) {
    if (const ConsoleSink sink = g_console.load()) sink(text, kind);
}
