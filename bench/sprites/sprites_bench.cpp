// Frames of N alpha-blended, rotated 32 x 32 sprites from one texture at 1024 x 768 on the
// software device, drawn as the sprite batcher draws them: 512 quads per indexed draw.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "platform/d3d9/d3dx9.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kSprite = 32, kQuadsPerDraw = 512;
constexpr double kFrameBudgetMs = 16.7;

struct Vertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};

struct Sprite {
    float x, y, angle, spin;
};

D3DMATRIX Projection() {
    const float n = 1, f = 100000, k = n / 200;
    const float l = -k * kWidth / 2, r = k * kWidth / 2, b = k * kHeight / 2, t = -k * kHeight / 2;
    D3DMATRIX m{};
    m.m[0][0] = 2 * n / (r - l);
    m.m[1][1] = 2 * n / (t - b);
    m.m[2][2] = f / (f - n);
    m.m[2][3] = 1;
    m.m[3][2] = n * f / (n - f);
    return m;
}

class Scene {
public:
    Scene() {
        d3d_ = ComPtr<IDirect3D9>(Direct3DCreate9(D3D_SDK_VERSION));
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = kWidth;
        pp.BackBufferHeight = kHeight;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        if (FAILED(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, device_.ReleaseAndGetAddressOf()))) std::abort();
        const D3DMATRIX projection = Projection();
        device_->SetTransform(D3DTS_PROJECTION, &projection);
        device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device_->SetRenderState(D3DRS_LIGHTING, FALSE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        for (auto type : {D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER})
            device_->SetSamplerState(0, type, D3DTEXF_LINEAR);
        device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        D3DXCreateTexture(device_.Get(), kSprite, kSprite, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                          texture_.ReleaseAndGetAddressOf());
        D3DLOCKED_RECT locked;
        texture_->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < kSprite; ++y)
            for (int x = 0; x < kSprite; ++x) {
                const float dx = x - 15.5f, dy = y - 15.5f;
                const int alpha = std::max(0, 255 - static_cast<int>(std::sqrt(dx * dx + dy * dy) * 16));
                const uint32_t texel = static_cast<uint32_t>(alpha) << 24 | (x * 8) << 16 | (y * 8) << 8 | 0x80;
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, &texel, 4);
            }
        texture_->UnlockRect(0);
        device_->SetTexture(0, texture_.Get());
        for (int i = 0; i < kQuadsPerDraw; ++i)
            for (int k : {0, 1, 2, 0, 2, 3}) indices_.push_back(static_cast<uint16_t>(i * 4 + k));
        vertices_.resize(kQuadsPerDraw * 4);
    }

    void Populate(int count) {
        std::mt19937 random(1);
        std::uniform_real_distribution<float> ux(0, kWidth), uy(0, kHeight), ua(0, 6.2831853f), us(-0.05f, 0.05f);
        sprites_.resize(count);
        for (Sprite& s : sprites_) s = {ux(random), uy(random), ua(random), us(random)};
    }

    void Frame() {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device_->BeginScene();
        int n = 0;
        for (Sprite& s : sprites_) {
            s.angle += s.spin;
            AddQuad(s, &vertices_[n * 4]);
            if (++n == kQuadsPerDraw) {
                Draw(n);
                n = 0;
            }
        }
        if (n) Draw(n);
        device_->EndScene();
        device_->Present(nullptr, nullptr, nullptr, nullptr);
    }

private:
    static void AddQuad(const Sprite& s, Vertex* v) {
        const float c = std::cos(s.angle), sn = std::sin(s.angle), h = 0.5f / kSprite;
        const float corners[4][2] = {{-16, -16}, {16, -16}, {16, 16}, {-16, 16}};
        const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int i = 0; i < 4; ++i) {
            const float dx = corners[i][0], dy = corners[i][1];
            v[i] = {s.x + dx * c - dy * sn - kWidth / 2.0f, s.y + dx * sn + dy * c - kHeight / 2.0f, 200, 0xFFFFFFFF,
                    uv[i][0] + h, uv[i][1] + h};
        }
    }

    void Draw(int quads) {
        device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, quads * 4, quads * 2, indices_.data(), D3DFMT_INDEX16,
                                        vertices_.data(), sizeof(Vertex));
    }

    ComPtr<IDirect3D9> d3d_;
    ComPtr<IDirect3DDevice9> device_;
    ComPtr<IDirect3DTexture9> texture_;
    std::vector<uint16_t> indices_;
    std::vector<Vertex> vertices_;
    std::vector<Sprite> sprites_;
};

constexpr int kFrames = 20;

struct Timing {
    double wallMs, cpuMs;  // per frame
};

// The processor time of every thread of the process, which other load on the machine
// does not inflate as much as the wall clock.
double ProcessCpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Timing Measure(Scene& scene, int count) {
    scene.Populate(count);
    for (int i = 0; i < 3; ++i) scene.Frame();
    const double cpuStart = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i) scene.Frame();
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return {elapsed.count() / kFrames, (ProcessCpuMs() - cpuStart) / kFrames};
}

double MsPerFrame(Scene& scene, int count) { return Measure(scene, count).wallMs; }

}  // namespace

// An argument N measures N sprites only (for profilers); without one, the whole table.
int main(int argc, char** argv) {
    Scene scene;
    if (argc > 1) {
        const int count = std::atoi(argv[1]);
        if (count <= 0) return 1;
        const Timing t = Measure(scene, count);
        std::printf("%6d sprites: %7.2f ms per frame (%.2f ms of processor time)\n", count, t.wallMs, t.cpuMs);
        return 0;
    }
    for (int count : {1000, 5000, 20000}) {
        const Timing t = Measure(scene, count);
        std::printf("%6d sprites: %7.2f ms per frame (%.2f ms of processor time)\n", count, t.wallMs, t.cpuMs);
    }
    // The largest count within one 60 Hz frame, to the nearest 500.
    int low = 0, high = 500;
    while (MsPerFrame(scene, high) <= kFrameBudgetMs) {
        low = high;
        high *= 2;
    }
    while (high - low > 500) {
        const int mid = (low + high) / 2 / 500 * 500;
        (MsPerFrame(scene, mid) <= kFrameBudgetMs ? low : high) = mid;
    }
    std::printf("largest count within %.1f ms: %d sprites\n", kFrameBudgetMs, low);
    return 0;
}
