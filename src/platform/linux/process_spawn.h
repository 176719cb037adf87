#pragma once
// Starting other programs without a shell: arguments travel as a vector, never as one
// string to be parsed.
#include <string>

// Starts program (a path) with argv (program name first, null-terminated) and does not
// wait for it. Usable from the crash path: no memory is taken.
bool SpawnDetached(const char* program, char* const argv[]);
// The folder of the running executable; empty when it cannot be read.
std::string ExecutableDirectory();
