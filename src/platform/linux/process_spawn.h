#pragma once
// Starting other programs without a shell: arguments travel as a vector, never as one
// string to be parsed.
#include <string>

// Starts program (a path) with argv (program name first, null-terminated) and does not
// wait for it. Usable from the crash path: no memory is taken.
bool SpawnDetached(const char* program, char* const argv[]);
// Starts program (a name looked up through PATH, or a path) with argv and does not wait
// for it; a thread of its own reaps it when it ends.
bool SpawnFromPath(const char* program, char* const argv[]);
// The folder of the running executable; empty when it cannot be read.
std::string ExecutableDirectory();
