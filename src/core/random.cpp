#include "core/random.h"

#include <cstdint>

namespace {

RandomSequence g_sequence(1);

}  // namespace

void SeedRandom(unsigned int seed) { g_sequence = RandomSequence(seed); }

int RandomNumber() { return g_sequence.Next(); }

int RandomSequence::Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fff);
}
