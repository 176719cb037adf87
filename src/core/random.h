#pragma once
// The engine's random generator, with the Windows runtime's sequence and range, so a
// game sees the same numbers for the same seed as it always has (glibc's rand differs).

inline constexpr int kRandMax = 32767;

void SeedRandom(unsigned int seed);
// 0 to kRandMax.
int RandomNumber();
