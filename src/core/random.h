#pragma once
// The engine's random generator, with the Windows runtime's sequence and range, so a
// game sees the same numbers for the same seed as it always has (glibc's rand differs).

inline constexpr int kRandMax = 32767;

void SeedRandom(unsigned int seed);
// 0 to kRandMax.
int RandomNumber();

// A sequence of its own with the same numbers, for tools that must not disturb the game's.
class RandomSequence {
public:
    explicit RandomSequence(unsigned int seed) : state_(seed) {}
    // 0 to kRandMax.
    int Next();

private:
    unsigned int state_;
};
