#pragma once
// The crash path: report once, start the crash sender, end the process with a
// failure status and without the shutdown sequence.

inline constexpr int kExitFatal = 3;
inline constexpr int kExitCrash = 4;

[[noreturn]] void EndProcessAfterFatalError();
