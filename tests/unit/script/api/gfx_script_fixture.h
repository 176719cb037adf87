#pragma once
// The renderer on the software device with a script state that has the flat API: scripts
// draw into a render-target bitmap whose pixels the test reads back. Images are written
// to the mounted folder at test time.
#include <functional>
#include <string>

#include "core/config.h"
#include "fixtures/image_fixtures.h"
#include "fixtures/script_text.h"
#include "script/api/lua_api.h"
#include "script/api/lua_api_bitmap.h"
#include "script/lua_base.h"
#include "script/lua_bound.h"
#include "unit/graphics/software_device_fixture.h"

class GfxScriptTest : public SoftwareDeviceTest {
protected:
    void SetUp() override {
        Open(64, 64, 64, 64);
        LuaCreateState();
        L = LuaGetState();
        RegisterLuaApi();
        BeginFrame();
    }
    void TearDown() override {
        LuaCloseState();
        SoftwareDeviceTest::TearDown();
    }

    std::string Run(const std::string& code) { return RunScriptText(L, code); }
    std::string Eval(const std::string& expression) { return EvalScriptValues(L, expression); }
    // A solid opaque image of one colour (0xRRGGBB) with its single "main" sprite.
    void WriteImage(const std::string& name, int width, int height, uint32_t rgb) const {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < width * height; ++i)
            pixels.insert(pixels.end(), {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                         static_cast<uint8_t>(rgb), 0xFF});
        dir_.Write(name, EncodeImage(FixtureFormat::Png, width, height, 4, pixels));
    }
    // Runs the drawing code with `target` (a global bitmap) as the render target.
    void DrawInto(const std::string& target, const std::string& code) {
        ASSERT_EQ(Run("gfx_render_target(" + target + ") " + code + " gfx_render_target(nil)"), "");
    }
    uint32_t Pixel(const std::string& bitmap, int x, int y) {
        lua_getglobal(L, bitmap.c_str());
        const Texture* texture = ReadBitmapArgument(L, -1);
        lua_pop(L, 1);
        return texture ? TexturePixel(texture->deviceTexture, x, y) : 0xDEADBEEFu;
    }

    // Fatal paths report on standard error only while the log is on.
    static void Fatal(const std::function<void()>& call) {
        g_config.create_log = true;
        call();
    }
    // The native object of a script global, as its class.
    template <class T>
    T* Native(const char* global) {
        lua_getglobal(L, global);
        lua_rawgeti(L, -1, 0);
        T* object = dynamic_cast<T*>(LuaToObject(L, -1));
        lua_pop(L, 2);
        return object;
    }

    // The texture whose file name ends so, or null once it is gone.
    static const Texture* TextureNamed(const std::string& suffix) {
        for (const auto& t : AllTextures())
            if (t->name.ends_with(suffix)) return t.get();
        return nullptr;
    }

    lua_State* L = nullptr;
};
