#pragma once
// The process guard: fault signals (SEGV, BUS, FPE, ILL, ABRT) and std::terminate run
// the crash path once.

struct CrashInfo;

// The handler never returns: it ends the process.
using CrashHandler = void (*)(const CrashInfo& info);
void InstallCrashGuard(CrashHandler handler);
// The system's own handling of a signal: default action, unblocked, raised again.
void PassSignalToSystem(int signal);
