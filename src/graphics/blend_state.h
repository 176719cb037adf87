#pragma once
// The blending in force, read so that a stretch drawn with other blending can put back
// exactly what it found (a component's own blending, a prerender's max pass).
//
// CurrentBlendState   the device's blend factors, switch and equation
// RestoreBlendState   flushes the batch, then puts a read state back
// SetBlendEquation    flushes the batch, then sets the equation (BlendEquation)
#include <cstdint>

// Device blend factors, for SetBlendFunc.
inline constexpr int kBlendFactorOne = 2;
inline constexpr int kBlendFactorSrcAlpha = 5;

struct BlendState {
    uint32_t src = 0, dst = 0, enabled = 0, op = 0;
};

BlendState CurrentBlendState();
void RestoreBlendState(const BlendState& state);
void SetBlendEquation(int equation);
