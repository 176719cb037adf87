#pragma once
// The engine's millisecond clock: 32 bits of CLOCK_MONOTONIC, wrapping every ~49.7 days.
#include <cstdint>

uint32_t TimeGetTime();
void SleepMs(uint32_t milliseconds);
