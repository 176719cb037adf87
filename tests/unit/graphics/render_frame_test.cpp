// The renderer inside the engine's frame: what a frame draws, and a lost device re-created
// at the next frame with the fixed states back.
#include <gtest/gtest.h>

#include <string>

#include "app/velk_main.h"
#include "fixtures/engine_frame.h"
#include "fixtures/fake_clock.h"
#include "graphics/render.h"
#include "graphics/render_d3d.h"
#include "script/api/lua_api.h"
#include "script/lua_base.h"

namespace {

class RenderFrameTest : public testing::Test {
protected:
    FakeFrameTimer timer{1000};

    void SetUp() override { StartEngineFrameTest(); }
    void TearDown() override { EndEngineFrameTest(); }

    void Start(const std::string& code) {
        RegisterLuaApi();
        lua_State* L = LuaGetState();
        ASSERT_EQ(luaL_dostring(L, code.c_str()), 0) << lua_tostring(L, -1);
    }
    void Frame() {
        FakeClock::now += 16;
        MainFrame();
    }
    double Number(const char* name) {
        lua_State* L = LuaGetState();
        lua_getglobal(L, name);
        const double value = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return value;
    }
    static DWORD State(D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEAD;
        D3D_Device()->GetRenderState(state, &value);
        return value;
    }
};

TEST_F(RenderFrameTest, LostDeviceIsRecreatedAtTheNextFrame) {
    Start("recreated = 0 renders = 0 function recreate() recreated = recreated + 1 end "
          "function update() end function render() renders = renders + 1 end");
    Frame();  // regains focus: no time has passed yet
    Frame();
    EXPECT_EQ(Number("renders"), 1);
    EXPECT_EQ(State(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    SetCullMode(kCullBack);
    SetBlendMode(kBlendMax);

    D3D9Test_LoseDevice(D3D_Device());
    Frame();  // the lost device draws nothing; presenting reports it
    EXPECT_TRUE(g_engine.device_lost);
    EXPECT_EQ(Number("renders"), 1);

    Frame();  // re-created first; the timer starts again, so nothing more this pass
    EXPECT_FALSE(g_engine.device_lost);
    EXPECT_FALSE(RenderDeviceLost());
    EXPECT_EQ(Number("recreated"), 1);
    Frame();
    EXPECT_EQ(Number("renders"), 2);
    EXPECT_EQ(State(D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_NONE));
    EXPECT_EQ(State(D3DRS_BLENDOP), static_cast<DWORD>(D3DBLENDOP_ADD));
    EXPECT_EQ(State(D3DRS_SRCBLEND), static_cast<DWORD>(D3DBLEND_SRCALPHA));
}

TEST_F(RenderFrameTest, EachFrameStartsItsStatisticsAfresh) {
    Start("function update() end function render() end");
    Frame();
    g_renderer.statistics.drawCalls = 99;
    g_renderer.statistics.imagesDrawn = 5;
    g_renderer.statistics.texturesAllocated = 3;
    Frame();
    EXPECT_EQ(g_renderer.statistics.drawCalls, 0);
    EXPECT_EQ(g_renderer.statistics.imagesDrawn, 0);
    EXPECT_EQ(g_renderer.statistics.texturesAllocated, 3);  // live textures are not per frame
    EXPECT_FALSE(g_renderer.sceneBegun);
}

}  // namespace
