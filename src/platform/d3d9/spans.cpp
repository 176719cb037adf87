// The span functions. The fast ones cover 2D sprites (affine, one colour, a 32-bit target,
// at most source-alpha blending) stepped in 32.32 fixed point; the generic ones cover every
// state, perspective included, in floating point.
#include <algorithm>
#include <cmath>

#include "platform/d3d9/pixel_color.h"
#include "platform/d3d9/pixel_format.h"
#include "platform/d3d9/pixel_vector.h"
#include "platform/d3d9/triangle.h"

namespace {

uint32_t TargetAlpha(const RenderTargetView& target) {
    return target.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
}

uint32_t* TargetRow32(const RenderTargetView& target, int y) {
    return reinterpret_cast<uint32_t*>(target.bits + static_cast<size_t>(y) * target.pitch);
}

void SolidSpan(const SpanContext& c, int y, int xl, int xr) {
    uint32_t* row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const uint32_t colour = c.tri.flat;
    if (c.state.blend) {
        for (int x = xl; x <= xr; ++x) row[x] = BlendSrcAlpha(colour, row[x]) | alpha;
    } else {
        std::fill(row + xl, row + xr + 1, colour | alpha);
    }
}

// 32.32 fixed point of a texel coordinate, as the bits of a signed value.
uint64_t ToFix32(double v) {
    return static_cast<uint64_t>(static_cast<int64_t>(static_cast<double>(ClampTexelCoord(static_cast<float>(v))) * 4294967296.0));
}

// bias: added to every value.
FixedPlane ToFixed(const Triangle& t, const Plane& p, double bias) {
    return {ToFix32(p.base - double{p.dx} * t.ox - double{p.dy} * t.oy + bias), ToFix32(p.dx), ToFix32(p.dy)};
}

// Unsigned, so absurd texture coordinates wrap instead of overflowing; the low 32 bits of
// the shifted value are the same as with signed arithmetic.
struct FastStepper {
    uint64_t s, u, ds, du;  // s and u already carry the rounding to 8 fractional bits

    static FastStepper At(const Triangle& t, int x, int y) {
        constexpr uint64_t kRound = 1u << 23;
        return {t.fixedS.At(x, y) + kRound, t.fixedT.At(x, y) + kRound, t.fixedS.dx, t.fixedT.dx};
    }

    // Texel coordinates minus one half with 8 fractional bits, then one pixel on.
    int NextS() { return Take(s, ds); }
    int NextU() { return Take(u, du); }

private:
    static int Take(uint64_t& v, uint64_t step) {
        const uint64_t now = v;
        v += step;
        return static_cast<int>(static_cast<uint32_t>(now >> 24));
    }
};

template <bool Blend, bool White>
VELK_HOT __m128i ShadeLanes(__m128i src, __m128i colour, __m128i dst) {
    if constexpr (!White) src = ModulateLanes(src, colour);
    if constexpr (Blend) src = BlendSrcAlphaLanes(src, dst);
    return src;
}

// Filtered texels, two pixels at a time. Transparent samples are blended like any other
// (they leave the pixel as it was): testing for them costs more in mispredicted branches
// than it saves.
template <bool Blend, bool White>
void FastLinearSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;  // a copy the target's stores cannot alias
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const __m128i colour = WidenTwice(t.flat);
    FastStepper step = FastStepper::At(t, xl, y);
    int x = xl;
    for (; x < xr; x += 2) {
        const int sa = step.NextS(), va = step.NextU(), sb = step.NextS(), vb = step.NextU();
        const TexelRows a = FetchRows(sampler, sa >> 8, va >> 8), b = FetchRows(sampler, sb >> 8, vb >> 8);
        const __m128i src = BilinearPair(a, b, sa & 255, va & 255, sb & 255, vb & 255);
        StorePair(row + x, ShadeLanes<Blend, White>(src, colour, Blend ? LoadPair(row + x) : src), alpha);
    }
    if (x == xr) {
        const int sa = step.NextS(), va = step.NextU();
        const TexelRows a = FetchRows(sampler, sa >> 8, va >> 8);
        const __m128i src = BilinearLanes(a, sa & 255, va & 255);
        row[x] = Narrow(ShadeLanes<Blend, White>(src, colour, Blend ? Widen(row[x]) : src)) | alpha;
    }
}

// Texels 1:1.
template <bool Blend, bool White>
void FastPointSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const SamplerView sampler = c.state.sampler;
    uint32_t* const row = TargetRow32(c.target, y);
    const uint32_t alpha = TargetAlpha(c.target);
    const __m128i colour = WidenTwice(t.flat);
    uint64_t s = t.fixedS.At(xl, y), u = t.fixedT.At(xl, y);
    const uint64_t ds = t.fixedS.dx, du = t.fixedT.dx;
    for (int x = xl; x <= xr; ++x, s += ds, u += du) {
        const uint32_t texel = FetchTexel(sampler, static_cast<int>(static_cast<uint32_t>(s >> 32)),
                                          static_cast<int>(static_cast<uint32_t>(u >> 32)));
        if (Blend && (texel >> 24) == 0) continue;
        row[x] = Narrow(ShadeLanes<Blend, White>(Widen(texel), colour, Blend ? Widen(row[x]) : colour)) | alpha;
    }
}

template <bool Linear, bool Blend, bool White>
void FastSpan(const SpanContext& c, int y, int xl, int xr) {
    if constexpr (Linear)
        FastLinearSpan<Blend, White>(c, y, xl, xr);
    else
        FastPointSpan<Blend, White>(c, y, xl, xr);
}

template <bool Linear>
SpanFunction FastSpanFor(bool blend, bool white) {
    if (blend) return white ? FastSpan<Linear, true, true> : FastSpan<Linear, true, false>;
    return white ? FastSpan<Linear, false, true> : FastSpan<Linear, false, false>;
}

template <bool Perspective>
void GenericSpan(const SpanContext& c, int y, int xl, int xr) {
    const Triangle& t = c.tri;
    const DrawState& st = c.state;
    const RenderTargetView& target = c.target;
    const int bpp = BytesPerPixel(target.format);
    uint8_t* row = target.bits + static_cast<size_t>(y) * target.pitch;
    float* depthRow = st.depthTest && target.depth ? target.depth + static_cast<size_t>(y) * target.depthPitch : nullptr;
    float q = t.At(t.q, xl, y), s = t.At(t.s, xl, y), tc = t.At(t.t, xl, y), z = t.At(t.z, xl, y);
    float col[4];
    for (int k = 0; k < 4; ++k) col[k] = t.At(t.colour[k], xl, y);
    for (int x = xl; x <= xr; ++x) {
        const float w = Perspective ? 1.0f / q : 1.0f;
        const uint32_t colour = t.flatColour ? t.flat : PackColour(col, w);
        const uint32_t texel = st.textured ? Sample(st.sampler, s * w, tc * w, t.linear) : 0xFFFFFFFFu;
        const uint32_t src = Modulate(texel, colour);
        bool visible = !st.alphaTest || Compare(st.alphaFunc, src >> 24, uint32_t{st.alphaRef});
        if (visible && depthRow) {
            visible = Compare(st.depthFunc, z, depthRow[x]);
            if (visible && st.depthWrite) depthRow[x] = z;
        }
        if (visible) {
            uint8_t* p = row + static_cast<size_t>(x) * bpp;
            const uint32_t dst = LoadPixel(p, target.format);
            const uint32_t out = st.blend ? Blend(src, dst, st.srcBlend, st.dstBlend, st.blendOp) : src;
            StorePixel(p, target.format, WriteMask(out, dst, st.writeMask));
        }
        if constexpr (Perspective) q += t.q.dx;
        s += t.s.dx;
        tc += t.t.dx;
        z += t.z.dx;
        for (int k = 0; k < 4; ++k) col[k] += t.colour[k].dx;
    }
}

// The fast spans blend with SRCALPHA, INVSRCALPHA, ADD or not at all.
bool FastBlendState(const DrawState& st) {
    return !st.blend ||
           (st.blendOp == D3DBLENDOP_ADD && st.srcBlend == D3DBLEND_SRCALPHA && st.dstBlend == D3DBLEND_INVSRCALPHA);
}

}  // namespace

void ChooseSpan(Triangle& t, bool perspective, const DrawState& st, const RenderTargetView& target) {
    if (perspective) {
        t.span = GenericSpan<true>;
        return;
    }
    const bool fast = t.flatColour && BytesPerPixel(target.format) == 4 && !st.alphaTest && !st.depthTest &&
                      st.writeMask == 0xF && FastBlendState(st);
    if (!fast) {
        t.span = GenericSpan<false>;
    } else if (!st.textured) {
        t.span = SolidSpan;
    } else {
        const double bias = t.linear ? -0.5 : 0.0;
        t.fixedS = ToFixed(t, t.s, bias);
        t.fixedT = ToFixed(t, t.t, bias);
        const bool white = t.flat == 0xFFFFFFFFu;
        t.span = t.linear ? FastSpanFor<true>(st.blend, white) : FastSpanFor<false>(st.blend, white);
    }
}
