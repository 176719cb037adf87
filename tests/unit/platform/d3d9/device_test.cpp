// The device's objects: formats and locked memory, deferred drawing, loss and reset,
// presenting into an SDL window, and the utility functions.
#include <SDL.h>

#include <cmath>
#include <cstring>
#include <random>

#include "device_fixture.h"
#include "platform/d3d9/d3dx9.h"

namespace {

uint16_t Word(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

TEST_F(DeviceTest, LockedTextureMemoryIsLaidOutAsTheFormatAtItsPitch) {
    struct Case {
        D3DFORMAT requested, stored;
        int bytes;
        uint32_t written;  // the pixel value written, in the format's own layout
        uint32_t drawn;    // what the device then draws from it
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, 4, 0x80C04020, 0x80C04020},
        {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, 4, 0x00C04020, 0xFFC04020},
        {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 4, 0x12C04020, 0xFFC04020},
        {D3DFMT_A4R4G4B4, D3DFMT_A4R4G4B4, 2, 0x8C42, 0x88CC4422},
        {D3DFMT_R5G6B5, D3DFMT_R5G6B5, 2, 0xF81F, 0xFFFF00FF},
    };
    for (const Case& c : cases) {
        ComPtr<IDirect3DTexture9> texture;
        ASSERT_EQ(D3DXCreateTexture(dev_.Get(), 3, 2, 1, 0, c.requested, D3DPOOL_MANAGED, texture.ReleaseAndGetAddressOf()),
                  D3D_OK);
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, c.stored);
        EXPECT_EQ(desc.Width, 3u);
        EXPECT_EQ(desc.Height, 2u);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_GE(locked.Pitch, 3 * c.bytes);
        // Only pixel (2, 1) gets the value; the rest stays zero.
        uint8_t* base = static_cast<uint8_t*>(locked.pBits);
        for (int y = 0; y < 2; ++y) std::memset(base + y * locked.Pitch, 0, 3 * c.bytes);
        std::memcpy(base + locked.Pitch + 2 * c.bytes, &c.written, c.bytes);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);

        ClearTo(0);
        ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
        Quad(0, 0, 3, 2, 0xFFFFFFFF, 0.5f / 3, 0.25f, 1 + 0.5f / 3, 1.25f);
        EXPECT_EQ(Pixel(2, 1), c.drawn) << "format " << c.requested;
        EXPECT_EQ(Pixel(1, 1) & 0x00FFFFFF, 0u) << "format " << c.requested;

        // A locked sub-rectangle starts at its own corner.
        const RECT r{2, 1, 3, 2};
        ASSERT_EQ(texture->LockRect(0, &locked, &r, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(locked.pBits, &c.written, c.bytes), 0);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    }
}

TEST_F(DeviceTest, BadLocksAreRefused) {
    ComPtr<IDirect3DTexture9> texture;
    ASSERT_EQ(dev_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.ReleaseAndGetAddressOf(), nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked;
    const RECT outside{2, 2, 5, 4}, empty{1, 1, 1, 3};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, &locked, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "already locked";
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, DrawsReachingPastTheirVerticesAreRefused) {
    const std::vector<Vertex> v = {At(0, 0, ~0u), At(10, 0, ~0u), At(0, 10, ~0u)};
    EXPECT_EQ(Draw(v, {0, 1, 3}), D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 1, 2, 1, std::vector<uint16_t>{0, 1, 2}.data(),
                                           D3DFMT_INDEX16, v.data(), sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(dev_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, std::vector<uint16_t>{0, 1, 2}.data(),
                                           D3DFMT_INDEX16, v.data(), 20),
              D3DERR_INVALIDCALL);
    for (uint32_t p : Pixels()) ASSERT_EQ(p, 0u);
}

TEST_F(DeviceTest, LockingATexturePendingDrawingUsesWaitsForThatDrawing) {
    auto texture = MakeTexture(1, 1, {0xFF00FF00});
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Quad(0, 0, 8, 8, 0xFFFFFFFF);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const uint32_t red = 0xFFFF0000;
    std::memcpy(locked.pBits, &red, 4);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    Quad(8, 0, 16, 8, 0xFFFFFFFF);
    EXPECT_EQ(Pixel(4, 4), 0xFF00FF00u);
    EXPECT_EQ(Pixel(12, 4), red);
}

// A texture updated while drawing samples it (a text cache): once a lock has had to wait,
// later locks wait only when they meet texels that pending draws sample.
TEST_F(DeviceTest, LockingTexelsNoPendingDrawSamplesDoesNotWait) {
    const uint32_t green = 0xFF00FF00, red = 0xFFFF0000, blue = 0xFF0000FF;
    auto texture = MakeTexture(64, 1, std::vector<uint32_t>(64, green));
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    const auto write = [&](LONG left, LONG right, uint32_t colour) {
        const RECT rect{left, 0, right, 1};
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, &rect, 0), D3D_OK);
        for (LONG x = 0; x < right - left; ++x) std::memcpy(static_cast<uint8_t*>(locked.pBits) + x * 4, &colour, 4);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    };
    ComPtr<IDirect3DQuery9> query;
    ASSERT_EQ(dev_->CreateQuery(D3DQUERYTYPE_EVENT, query.ReleaseAndGetAddressOf()), D3D_OK);
    // Texels 0-7, then the first lock of them waits (and starts the noting).
    Quad(0, 0, 8, 8, 0xFFFFFFFF, 0.0f, 0, 8 / 64.0f, 1);
    write(0, 8, red);
    // Texels 0-7 again, now red; texels 40-47 are far from them: no waiting.
    Quad(8, 0, 16, 8, 0xFFFFFFFF, 0.0f, 0, 8 / 64.0f, 1);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    write(40, 48, blue);
    EXPECT_EQ(query->GetData(nullptr, 0, 0), S_FALSE) << "a lock elsewhere left the drawing pending";
    // Texels 40-47, blue; then writing into what is pending waits for it.
    Quad(16, 0, 24, 8, 0xFFFFFFFF, 40 / 64.0f, 0, 48 / 64.0f, 1);
    write(4, 44, green);
    EXPECT_EQ(query->GetData(nullptr, 0, 0), S_OK) << "a lock over pending reads finished them";
    Quad(24, 0, 32, 8, 0xFFFFFFFF, 40 / 64.0f, 0, 48 / 64.0f, 1);
    EXPECT_EQ(Pixel(4, 4), green);
    EXPECT_EQ(Pixel(12, 4), red);
    EXPECT_EQ(Pixel(20, 4), blue);
    EXPECT_EQ(Pixel(26, 4), green);
    EXPECT_EQ(Pixel(30, 4), blue);
}

TEST_F(DeviceTest, ReleasingATexturePendingDrawingUsesIsSafe) {
    {
        auto texture = MakeTexture(1, 1, {0xFF0000FF});
        ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
        Quad(0, 0, 8, 8, 0xFFFFFFFF);
        ASSERT_EQ(dev_->SetTexture(0, nullptr), D3D_OK);
    }
    EXPECT_EQ(Pixel(4, 4), 0xFF0000FFu);
}

TEST_F(DeviceTest, ManyDrawsAcrossBandsKeepTheirOrder) {
    // Overlapping quads over the whole target, alternating colours: the last one wins everywhere.
    for (int i = 0; i < 200; ++i) Quad(static_cast<float>(i % 7), 0, 64, 64, (i % 2) ? 0xFF0000FF : 0xFFFF0000);
    for (int y = 0; y < 64; ++y) ASSERT_EQ(Pixel(63, y), 0xFF0000FFu) << y;
}

TEST_F(DeviceTest, DrawingHandedToTheWorkersKeepsItsOrderAndWaitsForLocks) {
    // Enough triangles that earlier ones are drawn on the worker threads while later ones
    // are recorded; locking a texture they use waits for them.
    auto texture = MakeTexture(1, 1, {0xFF00FF00});
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    for (int i = 0; i < 6000; ++i) Quad(static_cast<float>(i % 5), 0, 32, 64, (i % 2) ? 0xFFFFFFFF : 0xFF000000);
    ComPtr<IDirect3DQuery9> query;
    ASSERT_EQ(dev_->CreateQuery(D3DQUERYTYPE_EVENT, query.ReleaseAndGetAddressOf()), D3D_OK);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    const uint32_t red = 0xFFFF0000;
    std::memcpy(locked.pBits, &red, 4);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(query->GetData(nullptr, 0, 0), S_OK) << "the lock finished everything before the marker";
    Quad(32, 0, 64, 64, 0xFFFFFFFF);
    for (int y = 0; y < 64; y += 7) {
        EXPECT_EQ(Pixel(20, y), 0xFF00FF00u) << y;
        EXPECT_EQ(Pixel(40, y), red) << y;
    }
}

TEST_F(DeviceTest, RotatedQuadsInOneDrawBlendAsWhenDrawnOneByOne) {
    // Blended, filtered quads at random angles, overlapping across bands: most are set up as
    // two triangles, by whichever band's thread reaches them first. In one draw they must
    // come out exactly as when each is drawn and finished on its own.
    Create(256, 256, D3DFMT_A8R8G8B8, false);
    auto texture = MakeTexture(4, 4, {0x80FF0000, 0xFF00FF00, 0x400000FF, 0xFFFFFFFF, 0xC0808080, 0x20FF00FF,
                                      0xFF00FFFF, 0x90FFFF00, 0xFF102030, 0x60405060, 0xFF708090, 0x10A0B0C0,
                                      0xFFD0E0F0, 0x70112233, 0xFF445566, 0xB0778899});
    ASSERT_EQ(dev_->SetTexture(0, texture.Get()), D3D_OK);
    Sampler(D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    Sampler(D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    State(D3DRS_ALPHABLENDENABLE, TRUE);
    State(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    State(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    std::mt19937 random(5);
    const auto uniform = [&](float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); };
    std::vector<Vertex> quads;
    std::vector<uint16_t> indices;
    for (int i = 0; i < 1500; ++i) {
        const float x = uniform(-10, 266), y = uniform(-10, 266), half = uniform(2, 30), angle = uniform(0, 6.3f);
        const float c = std::cos(angle) * half, s = std::sin(angle) * half;
        const uint32_t colour = static_cast<uint32_t>(random()) | 0x20000000u;
        const uint16_t base = static_cast<uint16_t>(quads.size());
        quads.push_back(At(x - c + s, y - s - c, colour, 0, 0));
        quads.push_back(At(x + c + s, y + s - c, colour, 1, 0));
        quads.push_back(At(x + c - s, y + s + c, colour, 1, 1));
        quads.push_back(At(x - c - s, y - s + c, colour, 0, 1));
        for (int k : {0, 1, 2, 0, 2, 3}) indices.push_back(static_cast<uint16_t>(base + k));
    }
    ClearTo(0xFF204060);
    ASSERT_EQ(Draw(quads, indices), D3D_OK);
    const std::vector<uint32_t> together = Pixels();
    ClearTo(0xFF204060);
    for (auto corner = quads.begin(); corner != quads.end(); corner += 4) {
        ASSERT_EQ(Draw({corner, corner + 4}, {0, 1, 2, 0, 2, 3}), D3D_OK);
        ASSERT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    const std::vector<uint32_t> oneByOne = Pixels();
    for (size_t i = 0; i < together.size(); ++i) ASSERT_EQ(together[i], oneByOne[i]) << "pixel " << i;
}

TEST_F(DeviceTest, LostDeviceReportsUntilResetThenStartsFromDefaults) {
    State(D3DRS_CULLMODE, D3DCULL_NONE);
    EXPECT_EQ(dev_->TestCooperativeLevel(), D3D_OK);
    D3D9Test_LoseDevice(dev_.Get());
    EXPECT_EQ(dev_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(dev_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    Quad(0, 0, 64, 64, 0xFFFFFFFF);  // ignored while lost
    EXPECT_EQ(Pixel(5, 5), 0u);

    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 32;
    pp.BackBufferHeight = 16;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(dev_->Reset(&pp), D3D_OK);
    EXPECT_EQ(dev_->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(dev_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    DWORD cull = 0, lighting = 0;
    ASSERT_EQ(dev_->GetRenderState(D3DRS_CULLMODE, &cull), D3D_OK);
    ASSERT_EQ(dev_->GetRenderState(D3DRS_LIGHTING, &lighting), D3D_OK);
    EXPECT_EQ(cull, DWORD{D3DCULL_CCW});
    EXPECT_EQ(lighting, DWORD{TRUE});
    ComPtr<IDirect3DSurface9> back;
    ASSERT_EQ(dev_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf()), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Height, 16u);
}

TEST_F(DeviceTest, CreateDeviceFailsWhenTold) {
    D3D9Test_FailCreateDevice(1);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 8;
    pp.BackBufferHeight = 8;
    pp.Windowed = TRUE;
    ComPtr<IDirect3DDevice9> device;
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, device.ReleaseAndGetAddressOf()), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &pp, device.ReleaseAndGetAddressOf()), D3D_OK);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_X8R8G8B8) << "windowed with no format takes the desktop's";
}

TEST_F(DeviceTest, EventQueryIsReachedOnceTheDrawingIsDone) {
    ComPtr<IDirect3DQuery9> query;
    ASSERT_EQ(dev_->CreateQuery(D3DQUERYTYPE_EVENT, query.ReleaseAndGetAddressOf()), D3D_OK);
    Quad(0, 0, 8, 8, 0xFFFFFFFF);
    ASSERT_EQ(query->Issue(D3DISSUE_END), D3D_OK);
    EXPECT_EQ(query->GetData(nullptr, 0, 0), S_FALSE);
    EXPECT_EQ(query->GetData(nullptr, 0, D3DGETDATA_FLUSH), S_OK);
    EXPECT_EQ(query->GetData(nullptr, 0, 0), S_OK);
}

TEST(DevicePresent, CopiesTheBackBufferIntoTheWindowSurface) {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    // Taller than a band of the copy: each row its own colour.
    constexpr int kRows = 70;
    SDL_Window* window = SDL_CreateWindow("present", 0, 0, 40, kRows, 0);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        ComPtr<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
        D3DDISPLAYMODE mode;
        ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferFormat = mode.Format;
        pp.Windowed = TRUE;
        pp.hDeviceWindow = window;
        ComPtr<IDirect3DDevice9> device;
        ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0, &pp, device.ReleaseAndGetAddressOf()), D3D_OK);
        EXPECT_EQ(pp.BackBufferWidth, 40u) << "the window's size";
        EXPECT_EQ(pp.BackBufferHeight, static_cast<UINT>(kRows));
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
        for (LONG y = 1; y < kRows; ++y) {
            const RECT row{0, y, 40, y + 1};
            ASSERT_EQ(device->Clear(1, &row, D3DCLEAR_TARGET, 0xFF000000u | static_cast<D3DCOLOR>(y) * 0x030201u, 1.0f, 0),
                      D3D_OK);
        }
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        SDL_Surface* screen = SDL_GetWindowSurface(window);
        ASSERT_NE(screen, nullptr);
        for (int y = 0; y < kRows; ++y) {
            Uint32 pixel;
            std::memcpy(&pixel, static_cast<uint8_t*>(screen->pixels) + y * screen->pitch + 20 * 4, 4);
            Uint8 r, g, b;
            SDL_GetRGB(pixel, screen->format, &r, &g, &b);
            EXPECT_EQ(r, y == 0 ? 0x33 : 3 * y) << "row " << y;
            EXPECT_EQ(g, y == 0 ? 0x66 : 2 * y) << "row " << y;
            EXPECT_EQ(b, y == 0 ? 0x99 : y) << "row " << y;
        }
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
}

TEST_F(DeviceTest, SaveSurfaceWritesABottomUpBmpOfTheRectangle) {
    ClearTo(0xFF000000);
    const RECT top{0, 0, 64, 1};
    ASSERT_EQ(dev_->Clear(1, &top, D3DCLEAR_TARGET, 0x80112233, 1.0f, 0), D3D_OK);
    ComPtr<IDirect3DSurface9> back;
    ASSERT_EQ(dev_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf()), D3D_OK);
    ComPtr<ID3DXBuffer> bmp;
    const RECT rect{4, 0, 7, 2};
    ASSERT_EQ(D3DXSaveSurfaceToFileInMemory(bmp.ReleaseAndGetAddressOf(), D3DXIFF_BMP, back.Get(), nullptr, &rect), D3D_OK);
    ASSERT_EQ(bmp->GetBufferSize(), 54u + 3 * 2 * 4);
    const uint8_t* p = static_cast<const uint8_t*>(bmp->GetBufferPointer());
    uint32_t u32;
    EXPECT_EQ(std::memcmp(p, "BM", 2), 0);
    std::memcpy(&u32, p + 2, 4);
    EXPECT_EQ(u32, 54u + 24);
    std::memcpy(&u32, p + 10, 4);
    EXPECT_EQ(u32, 54u);
    std::memcpy(&u32, p + 18, 4);
    EXPECT_EQ(u32, 3u);
    std::memcpy(&u32, p + 22, 4);
    EXPECT_EQ(u32, 2u);
    EXPECT_EQ(Word(p + 28), 32);
    const uint8_t bottomRow[4] = {0, 0, 0, 0xFF}, topRow[4] = {0x33, 0x22, 0x11, 0x80};
    EXPECT_EQ(std::memcmp(p + 54, bottomRow, 4), 0);
    EXPECT_EQ(std::memcmp(p + 54 + 12, topRow, 4), 0);
}

TEST_F(DeviceTest, RenderToSurfaceDrawsIntoTheTextureAndRestoresTheBackBuffer) {
    ComPtr<IDirect3DTexture9> target;
    ASSERT_EQ(D3DXCreateTexture(dev_.Get(), 16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                target.ReleaseAndGetAddressOf()),
              D3D_OK);
    ComPtr<ID3DXRenderToSurface> rts;
    ASSERT_EQ(D3DXCreateRenderToSurface(dev_.Get(), 16, 16, D3DFMT_A8R8G8B8, TRUE, D3DFMT_D16, rts.ReleaseAndGetAddressOf()),
              D3D_OK);
    ComPtr<IDirect3DSurface9> surface;
    ASSERT_EQ(target->GetSurfaceLevel(0, surface.ReleaseAndGetAddressOf()), D3D_OK);
    ASSERT_EQ(dev_->EndScene(), D3D_OK);
    ASSERT_EQ(rts->BeginScene(surface.Get(), nullptr), D3D_OK);
    const D3DMATRIX projection = EngineProjection(16, 16);
    ASSERT_EQ(dev_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(Draw({{-8, -8, 200, 0xFFFF0000, 0, 0}, {0, -8, 200, 0xFFFF0000, 0, 0}, {0, 0, 200, 0xFFFF0000, 0, 0},
                    {-8, 0, 200, 0xFFFF0000, 0, 0}},
                   {0, 1, 2, 0, 2, 3}),
              D3D_OK);
    ASSERT_EQ(rts->EndScene(D3DX_FILTER_NONE), D3D_OK);

    D3DLOCKED_RECT locked;
    ASSERT_EQ(target->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto texel = [&](int x, int y) {
        uint32_t v;
        std::memcpy(&v, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return v;
    };
    EXPECT_EQ(texel(3, 3), 0xFFFF0000u);
    EXPECT_EQ(texel(12, 12), 0xFF0000FFu);
    target->UnlockRect(0);

    ComPtr<IDirect3DSurface9> current, back;
    ASSERT_EQ(dev_->GetRenderTarget(0, current.ReleaseAndGetAddressOf()), D3D_OK);
    ASSERT_EQ(dev_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.ReleaseAndGetAddressOf()), D3D_OK);
    EXPECT_EQ(current.Get(), back.Get());
    D3DVIEWPORT9 viewport;
    ASSERT_EQ(dev_->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 64u);
    EXPECT_EQ(Pixel(3, 3), 0u) << "the back buffer was not drawn on";
}

TEST(DirectXErrorNames, NameTheCodesTheBackEndReports) {
    EXPECT_STREQ(DXGetErrorString(E_OUTOFMEMORY), "E_OUTOFMEMORY");
    EXPECT_STREQ(DXGetErrorString(D3DERR_OUTOFVIDEOMEMORY), "D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_STREQ(DXGetErrorString(D3DERR_NOTAVAILABLE), "D3DERR_NOTAVAILABLE");
    EXPECT_STREQ(DXGetErrorString(D3DERR_INVALIDDEVICE), "D3DERR_INVALIDDEVICE");
    EXPECT_STREQ(DXGetErrorString(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL");
    EXPECT_STREQ(DXGetErrorString(D3DXERR_INVALIDDATA), "D3DXERR_INVALIDDATA");
    EXPECT_STREQ(DXGetErrorString(0x12345), "Unknown error");
}

}  // namespace
