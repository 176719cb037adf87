// Texture loading speed: 500 PNG textures of 256x256 from a directory container and from a
// zip archive, decoded, uploaded to the software device (when it can be created) and
// registered, in textures per second.
#include <chrono>
#include <cstdio>
#include <string>

#include "core/config.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/temp_dir.h"
#include "fixtures/zip_writer.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "graphics/texture.h"
#include "storage/storage.h"

namespace {

constexpr int kTextures = 500;
constexpr int kSide = 256;
constexpr int kRounds = 3;

std::string TextureName(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "tex/t%03d", i);
    return name;
}

// Noise over the pattern keeps the PNGs from compressing to nothing.
std::string MakePng(int i) {
    auto pixels = PatternPixels(kSide, kSide, 4);
    uint32_t seed = 2166136261u ^ static_cast<uint32_t>(i);
    for (auto& p : pixels) p = static_cast<uint8_t>(p ^ ((seed = seed * 1664525u + 1013904223u) >> 29));
    return EncodeImage(FixtureFormat::Png, kSide, kSide, 4, pixels);
}

void Measure(const char* what) {
    double best = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kTextures; ++i) LoadTexture(TextureName(i))->refCount -= 1;
        ReleaseUnusedTextures();
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        best = std::max(best, kTextures / seconds.count());
    }
    std::printf("%-12s %8.0f textures/s  (%d of %dx%d, best of %d)\n", what, best, kTextures, kSide, kSide, kRounds);
}

// The software device, when the platform layer can make one (uploads are then measured too).
ComPtr<IDirect3DDevice9> MakeDevice() {
    ComPtr<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
    ComPtr<IDirect3DDevice9> device;
    if (!d3d) return device;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 64;
    params.BackBufferHeight = 64;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.Windowed = 1;
    d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params,
                      device.ReleaseAndGetAddressOf());
    return device;
}

}  // namespace

int main() {
    InitConfigDefaults();
    InitRenderGlobals();
    ApplyRenderConfig();
    const ComPtr<IDirect3DDevice9> device = MakeDevice();
    D3D_AttachDeviceForTest(device.Get());
    std::printf("device: %s\n", device ? "software Direct3D 9 (uploads included)" : "none (decode only)");

    const TempDir dir;
    ZipFixtureEntries entries;
    for (int i = 0; i < kTextures; ++i) {
        const std::string file = TextureName(i) + ".png";
        entries.emplace_back(file, MakePng(i));
        dir.Write("folder/" + file, entries.back().second);
    }
    const std::string zipPath = (dir / "textures.pak").string();
    WriteZip(zipPath, entries);

    AddDirectoryStorage((dir / "folder").string(), false, true);
    Measure("directory");
    ShutdownStorage();
    AddZipStorage(zipPath, "");
    Measure("zip");
    ShutdownStorage();
    ReleaseAllTextures();
    D3D_AttachDeviceForTest(nullptr);
    return 0;
}
