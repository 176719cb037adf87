#pragma once
// The process guard: fault signals (SEGV, BUS, FPE, ILL, ABRT) and std::terminate run
// the crash path once.

void InstallCrashGuard();
// The system's own handling of a signal: default action, unblocked, raised again.
[[noreturn]] void PassSignalToSystem(int signal);
