#pragma once
// Our crash report "crash.dmp": what happened, the registers, a backtrace with module
// offsets and the memory map, as plain text. Written with no memory allocation, so it can
// run inside a signal handler.
struct CrashInfo;

bool WriteCrashReportFile(const char* path, const CrashInfo& info);
// Loads what the backtrace needs ahead of a crash.
void PrepareCrashReport();
