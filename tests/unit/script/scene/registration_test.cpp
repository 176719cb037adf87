// What the registration makes visible, and the statistics written after the render.
#include <gtest/gtest.h>

#include "graphics/render.h"
#include "scene_fixture.h"
#include "script/api/lua_api.h"

namespace {

using RegistrationTest = SceneTest;

TEST_F(RegistrationTest, ClassesAndFlatFunctionsAreFunctionsAndTablesAreTables) {
    for (const char* name : {"Scene", "Layer", "GameObject", "BoxShapeComponent", "sys_exit", "log"}) {
        lua_getglobal(L, name);
        EXPECT_TRUE(lua_iscfunction(L, -1)) << name;
        lua_pop(L, 1);
    }
    EXPECT_EQ(Text("type(mouse) .. type(touchpad) .. type(velk) .. type(dev_mode)"), "tabletabletableboolean");
    // Each object table carries every level's methods.
    EXPECT_EQ(Text("type(BoxShapeComponent().set_box) .. type(BoxShapeComponent().point_inside)"
                   " .. type(BoxShapeComponent().object) .. type(BoxShapeComponent().schedule_call)"),
              "functionfunctionfunctionfunction");
}

TEST_F(RegistrationTest, StatisticsAppearAfterTheFirstRender) {
    Run("function render() seen = tostring(velk.allocated_textures_count) end");
    DrawStatistics& stats = g_renderer.statistics;
    stats = DrawStatistics{};
    stats.texturesAllocated = 3;
    stats.textureBytes = 3 * 1048576 / 2;
    stats.trianglesDrawn = 10;
    stats.pixelsDrawn = 1048576 / 4;
    stats.drawCalls = 2;
    RenderScriptFrame();
    EXPECT_EQ(Global("seen"), "nil");
    EXPECT_EQ(Text("table.concat({velk.allocated_textures_count, velk.allocated_textures_size, velk.drawn_polys_count,"
                   " velk.drawn_polys_size, velk.drawn_call_count}, ' ')"),
              "3 1.5 10 0.25 2");
    RenderScriptFrame();
    EXPECT_EQ(Global("seen"), "3");
    g_renderer.statistics = DrawStatistics{};
}

}  // namespace
