// The Direct3D back end's uploads and texts that do not need a drawing device.
#include <gtest/gtest.h>

#include <cstring>

#include "core/config.h"
#include "fake_device.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"

namespace {

struct UploadCase {
    const char* name;
    D3DFORMAT format;
    int bytesPerPixel;
    int kind;
    std::vector<uint8_t> source;  // 2 x 2 pixels
    std::vector<uint8_t> expected;  // bytes written for each pixel, in memory order
};

class UpdateTextureTest : public testing::TestWithParam<UploadCase> {};

// A 2x2 rectangle at (1, 1) of a 4x3 texture: rows land at the texture's pitch and
// nothing outside the rectangle changes.
TEST_P(UpdateTextureTest, WritesTheLockedFormatAtThePitch) {
    const UploadCase& c = GetParam();
    FakeTexture texture(4, 3, c.format, c.bytesPerPixel);
    const std::vector<uint8_t> before = texture.Bits();
    D3D_UpdateTexture(1, 1, &texture, 2, 2, c.source.data(), c.kind);
    std::vector<uint8_t> expected = before;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const std::size_t at = static_cast<std::size_t>(1 + y) * texture.Pitch() + (1 + x) * c.bytesPerPixel;
            const std::size_t from = static_cast<std::size_t>(y * 2 + x) * c.bytesPerPixel;
            std::memcpy(expected.data() + at, c.expected.data() + from, c.bytesPerPixel);
        }
    EXPECT_EQ(texture.Bits(), expected);
}

std::vector<uint8_t> Le16(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> out;
    for (uint16_t v : values) out.insert(out.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    return out;
}

const std::vector<uint8_t> kRgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 16, 32, 48};
const std::vector<uint8_t> kBgra = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xF0, 0x80, 0x40, 0x20};
const std::vector<uint8_t> kAlpha = {10, 20, 0x80, 0xFF};

INSTANTIATE_TEST_SUITE_P(
    Kinds, UpdateTextureTest,
    testing::Values(
        UploadCase{"RgbTo8888", D3DFMT_A8R8G8B8, 4, 0, kRgb,
                   {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 48, 32, 16, 255}},
        UploadCase{"BgraTo8888", D3DFMT_A8R8G8B8, 4, 1, kBgra, kBgra},
        UploadCase{"AlphaTo8888", D3DFMT_A8R8G8B8, 4, 2, kAlpha,
                   {255, 255, 255, 10, 255, 255, 255, 20, 255, 255, 255, 0x80, 255, 255, 255, 0xFF}},
        UploadCase{"AlphaTo4444", D3DFMT_A4R4G4B4, 2, 2, kAlpha, Le16({0x0FFF, 0x1FFF, 0x8FFF, 0xFFFF})},
        UploadCase{"BgraTo4444", D3DFMT_A4R4G4B4, 2, 1, kBgra, Le16({0x0000, 0x0000, 0x0000, 0x248F})},
        UploadCase{"RgbTo565", D3DFMT_R5G6B5, 2, 0, kRgb, Le16({0xF800, 0x07E0, 0x001F, 0x1106})}),
    [](const testing::TestParamInfo<UploadCase>& info) { return std::string(info.param.name); });

TEST(UpdateTextureRefusalTest, RectanglesOutsideTheTextureChangeNothing) {
    FakeTexture texture(4, 4, D3DFMT_A8R8G8B8, 4);
    const std::vector<uint8_t> before = texture.Bits();
    const std::vector<uint8_t> pixels(64 * 4, 7);
    D3D_UpdateTexture(3, 0, &texture, 2, 1, pixels.data(), 1);
    D3D_UpdateTexture(-1, 0, &texture, 2, 1, pixels.data(), 1);
    D3D_UpdateTexture(0, 0, &texture, 8, 8, pixels.data(), 1);
    D3D_UpdateTexture(0, 0, &texture, 1, 1, pixels.data(), 5);
    D3D_UpdateTexture(0, 0, &texture, 1, 1, nullptr, 1);
    EXPECT_EQ(texture.Bits(), before);
}

TEST(UpdateTextureRefusalTest, KindTwoOnTwoByOne) {
    FakeTexture texture(2, 1, D3DFMT_A8R8G8B8, 4);
    const uint8_t alpha[2] = {10, 20};
    D3D_UpdateTexture(0, 0, &texture, 2, 1, alpha, 2);
    const uint8_t expected[8] = {255, 255, 255, 10, 255, 255, 255, 20};
    EXPECT_EQ(std::memcmp(texture.Pixel(0, 0), expected, 8), 0);
}

TEST(ErrorNameTest, NamesTheKnownCodes) {
    EXPECT_STREQ(D3D_ErrorName(E_OUTOFMEMORY), "E_OUTOFMEMORY");
    EXPECT_STREQ(D3D_ErrorName(D3DERR_OUTOFVIDEOMEMORY), "D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_STREQ(D3D_ErrorName(D3DERR_NOTAVAILABLE), "D3DERR_NOTAVAILABLE");
    EXPECT_STREQ(D3D_ErrorName(D3DERR_INVALIDDEVICE), "D3DERR_INVALIDDEVICE");
    EXPECT_STREQ(D3D_ErrorName(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL");
    EXPECT_STREQ(D3D_ErrorName(D3DXERR_INVALIDDATA), "D3DXERR_INVALIDDATA");
    EXPECT_STREQ(D3D_ErrorName(E_FAIL), "Unknown error");
}

TEST(CloseLogTest, NothingDrawnReportsNoSkippedShare) {
    InitConfigDefaults();
    InitRenderGlobals();
    g_config.create_log = true;
    testing::internal::CaptureStderr();
    D3D_Close();
    const std::string log = testing::internal::GetCapturedStderr();
    g_config.create_log = false;
    EXPECT_NE(log.find("DrawImage - drawn: 0, skipped: 0 ( 0.0%)"), std::string::npos) << log;
}

}  // namespace
