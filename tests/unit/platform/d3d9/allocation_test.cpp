// Drawing a frame the device has drawn before allocates nothing: every buffer it records
// into keeps its capacity. Allocations are counted by replacing the global allocator.
#include <atomic>
#include <cstdlib>
#include <new>

#include "device_fixture.h"

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

void* operator new(size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

TEST_F(DeviceTest, RepeatedFramesAllocateNothing) {
    Create(256, 256, D3DFMT_X8R8G8B8, false);
    auto texture = MakeTexture(2, 2, {0x80FF0000, 0xFF00FF00, 0xFF0000FF, 0x40FFFFFF});
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    State(D3DRS_ALPHABLENDENABLE, TRUE);
    State(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    State(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // 512 rotated quads a draw, as the sprite batcher sends them, many draws a frame.
    std::vector<Vertex> quads;
    std::vector<uint16_t> indices;
    for (int i = 0; i < 512; ++i) {
        const float x = static_cast<float>(i % 32) * 8, y = static_cast<float>(i / 32) * 16, d = 0.3f * (i % 5);
        const uint16_t base = static_cast<uint16_t>(quads.size());
        quads.push_back(At(x + d, y, 0xFFFFFFFF, 0, 0));
        quads.push_back(At(x + 12, y + d, 0xFFFFFFFF, 1, 0));
        quads.push_back(At(x + 12 - d, y + 12, 0xFFFFFFFF, 1, 1));
        quads.push_back(At(x, y + 12 - d, 0xFFFFFFFF, 0, 1));
        for (int k : {0, 1, 2, 0, 2, 3}) indices.push_back(static_cast<uint16_t>(base + k));
    }
    const auto frame = [&] {
        ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
        for (int draw = 0; draw < 20; ++draw) ASSERT_EQ(Draw(quads, indices), D3D_OK);
        ASSERT_EQ(dev_->EndScene(), D3D_OK);
        ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        ASSERT_EQ(dev_->BeginScene(), D3D_OK);
    };
    for (int i = 0; i < 3; ++i) frame();
    const long before = g_allocations.load();
    for (int i = 0; i < 3; ++i) frame();
    EXPECT_EQ(g_allocations.load() - before, 0);
}

}  // namespace
