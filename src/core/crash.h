#pragma once
// The crash path: one report ("crash.dmp") when create_log is set, then the crash sender,
// then the process ends with a failure status and without the shutdown sequence.
#include <string>
#include <vector>

#include "platform/linux/crash_report.h"

inline constexpr int kExitFatal = 3;
inline constexpr int kExitCrash = 4;
inline constexpr const char* kCrashSenderName = "bugpost";

struct CrashSenderInput {
    bool create_log = false;
    bool send_errors = true;
    bool dump_written = false;
    std::string product_code;
    std::string log_path;
    std::string dump_path;
};

// The sender's arguments after its program name, one vector element per argument.
std::vector<std::string> CrashSenderArguments(const CrashSenderInput& input);

// The full path of "crash.dmp" in the writable container, once start-up is done (until
// then no report is written).
void SetCrashDumpPath(const std::string& dumpPath);
// Builds the sender's argument vectors now, from the configuration, the dump path and
// "log.txt" of the writable container, so the crash path itself needs no memory.
void RefreshCrashSender();
// 1: run the handler (a report was written or none was wanted); 0: a second crash while
// the first is handled, pass it on.
int CreateExceptionReport(const CrashInfo& info, bool createLog, const std::string& dumpPath);
// Starts the sender once; false when it was started already.
bool StartCrashSender();

// The crash guard with EndProcessAfterCrash as its handler, the sender prepared first.
void InstallCrashPath();
// Runs the whole crash path from a signal handler or the terminate handler.
[[noreturn]] void EndProcessAfterCrash(const CrashInfo& info);
// The end of every LogError.
[[noreturn]] void EndProcessAfterFatalError();

// Tests: another sender program, and the once-only flags cleared.
void SetCrashSenderProgram(const std::string& path);
void ResetCrashStateForTests();
