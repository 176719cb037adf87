#pragma once
// Our crash report "crash.dmp": what happened, the registers, a backtrace with module
// offsets and the memory map, as plain text. Written with no memory allocation, so it can
// run inside a signal handler.

// What went wrong: a signal (with its fault address and machine context), or a reason
// text for a fatal error or a terminate.
struct CrashInfo {
    int signal = 0;
    const void* fault_address = nullptr;
    const void* machine_context = nullptr;
    const char* reason = nullptr;
};

bool WriteCrashReportFile(const char* path, const CrashInfo& info);
// Loads what the backtrace needs ahead of a crash.
void PrepareCrashReport();
