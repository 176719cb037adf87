#include "core/random.h"

#include <cstdint>

namespace {

uint32_t g_state = 1;

}  // namespace

void SeedRandom(unsigned int seed) { g_state = seed; }

int RandomNumber() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7fff);
}
