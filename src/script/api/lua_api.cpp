#include "script/api/lua_api.h"

#include <cmath>
#include <cstdio>

#include "core/config.h"
#include "core/frame_timer.h"
#include "core/input.h"
#include "core/saturate.h"
#include "core/string_utils.h"
#include "graphics/render.h"
#include "graphics/sprite_batch.h"
#include "script/api/lua_api_app.h"
#include "script/api/lua_api_bitmap.h"
#include "script/api/lua_api_effects.h"
#include "script/api/lua_api_file.h"
#include "script/api/lua_api_gfx.h"
#include "script/api/lua_api_input.h"
#include "script/api/lua_api_text.h"
#include "script/api/lua_api_net.h"
#include "script/api/lua_api_sound.h"
#include "script/api/lua_api_text.h"
#include "script/api/lua_api_timer.h"
#include "script/components/animated_bitmap_component.h"
#include "script/components/animated_grid_component.h"
#include "script/components/bitmap_component.h"
#include "script/components/box_shape_component.h"
#include "script/components/circle_shape_component.h"
#include "script/components/fluid_box_component.h"
#include "script/components/mask_shape_component.h"
#include "script/components/particle_component.h"
#include "script/components/rectangle_component.h"
#include "script/components/script_component.h"
#include "script/components/text_component.h"
#include "script/components/video_player_component.h"
#include "script/lua_base.h"
#include "script/lua_binder.h"
#include "script/scene/game_object.h"
#include "script/scene/layer.h"
#include "script/scene/scene.h"
#include "text/debug_font.h"
#include "text/font_benchmark.h"

namespace {

// The flat functions, in registration order.
constexpr luaL_Reg kFlatFunctions[] = {
    // graphics: the font-scale and dithering state (text and fonts join with their renderers)
    {"gfx_load_font", Api_gfx_load_font},
    {"gfx_release_font", Api_gfx_release_font},
    {"gfx_set_font", Api_gfx_set_font},
    {"gfx_render_text", Api_gfx_render_text},
    {"gfx_text_size", Api_gfx_text_size},
    {"gfx_set_asian_wrapping_mode", Api_gfx_set_asian_wrapping_mode},
    {"gfx_use_non_retina_fonts", Api_gfx_use_non_retina_fonts},
    {"gfx_global_font_scaling", Api_gfx_global_font_scaling},
    {"gfx_enable_dithering_16_bit", Api_gfx_enable_dithering_16_bit},
    {"gfx_is_dithering_16_bit_enabled", Api_gfx_is_dithering_16_bit_enabled},
    {"gfx_render_simple_text", Api_gfx_render_simple_text},
    {"gfx_reset_true_text_cache", Api_gfx_reset_true_text_cache},
    // graphics: display and bitmaps
    {"gfx_aspect_ratio_correction", Api_gfx_aspect_ratio_correction},
    {"gfx_resolution", Api_gfx_resolution},
    {"gfx_color", Api_gfx_color},
    {"gfx_garbage_collect", Api_gfx_garbage_collect},
    {"gfx_is_bitmap_valid", Api_gfx_is_bitmap_valid},
    {"gfx_load_bitmap", Api_gfx_load_bitmap},
    {"gfx_create_bitmap", Api_gfx_create_bitmap},
    {"gfx_release_bitmap", Api_gfx_release_bitmap},
    {"gfx_screenshot", Api_gfx_screenshot},
    {"gfx_render_target", Api_gfx_render_target},
    {"gfx_render_sprite", Api_gfx_render_sprite},
    {"gfx_render_sprite_by_vertex_table", Api_gfx_render_sprite_by_vertex_table},
    {"gfx_render_box", Api_gfx_render_box},
    {"gfx_sprite_params", Api_gfx_sprite_params},
    {"gfx_crop_sprite", Api_gfx_crop_sprite},
    {"gfx_blending", Api_gfx_blending},
    {"gfx_blending_src_dest", Api_gfx_blending_src_dest},
    {"gfx_alpha_test", Api_gfx_alpha_test},
    {"gfx_depth_enable", Api_gfx_depth_enable},
    {"gfx_cull", Api_gfx_cull},
    {"gfx_batch_layer", Api_gfx_batch_layer},
    {"gfx_current_mode", Api_gfx_current_mode},
    {"gfx_full_screen", Api_gfx_full_screen},
    // graphics: particles and collision masks
    {"gfx_particle_start", Api_gfx_particle_start},
    {"gfx_particle_restart", Api_gfx_particle_restart},
    {"gfx_particle_stop", Api_gfx_particle_stop},
    {"gfx_particle_release", Api_gfx_particle_release},
    {"gfx_particle_update", Api_gfx_particle_update},
    {"gfx_particle_render", Api_gfx_particle_render},
    {"gfx_particle_set_pos", Api_gfx_particle_set_pos},
    {"gfx_particle_set_angle", Api_gfx_particle_set_angle},
    {"gfx_collision_mask_load", Api_gfx_collision_mask_load},
    {"gfx_collision_mask_release", Api_gfx_collision_mask_release},
    {"gfx_collision_mask_size", Api_gfx_collision_mask_size},
    {"gfx_collision_mask_test", Api_gfx_collision_mask_test},
    // input and timer
    {"input_reset", Api_input_reset},
    {"input_enable", Api_input_enable},
    {"kbd_struck", Api_kbd_struck},
    {"kbd_repeat", Api_kbd_repeat},
    {"kbd_down", Api_kbd_down},
    {"kbd_chars", Api_kbd_chars},
    {"kbd_show", Api_kbd_show},
    {"mouse_hardware_cursor", Api_mouse_hardware_cursor},
    {"mouse_block_out_not_pressed", Api_mouse_block_out_not_pressed},
    {"mouse_set_offset_xy", Api_mouse_set_offset_xy},
    {"timer_catchup", Api_timer_catchup},
    {"timer_time", Api_timer_time},
    {"timer_systime", Api_timer_systime},
    {"timer_fps", Api_timer_fps},
    // files and application
    {"file_add_directory_storage", Api_file_add_directory_storage},
    {"file_add_pack_storage", Api_file_add_pack_storage},
    {"file_load_lua", Api_file_load_lua},
    {"file_load_strings", Api_file_load_strings},
    {"file_load", Api_file_load},
    {"file_save", Api_file_save},
    {"file_remove", Api_file_remove},
    {"file_rename", Api_file_rename},
    {"file_exists", Api_file_exists},
    {"file_search", Api_file_search},
    {"file_create_directory", Api_file_create_directory},
    {"file_remove_directory", Api_file_remove_directory},
    {"app_active", Api_app_active},
    {"sys_exit", Api_sys_exit},
    // sound
    {"snd_load", Api_snd_load},
    {"snd_release_sounds", Api_snd_release_sounds},
    {"snd_play_sound", Api_snd_play_sound},
    {"snd_stop_sound", Api_snd_stop_sound},
    {"snd_is_sound_playing", Api_snd_is_sound_playing},
    {"snd_play_music", Api_snd_play_music},
    {"snd_stop_music", Api_snd_stop_music},
    {"snd_sound_volume", Api_snd_sound_volume},
    {"snd_music_volume", Api_snd_music_volume},
    // web
    {"net_open_web", Api_net_open_web},
    {"net_get", Api_net_get},
    {"net_post_begin", Api_net_post_begin},
    {"net_post_value", Api_net_post_value},
    {"net_post_end", Api_net_post_end},
    {"net_status", Api_net_status},
    {"net_output", Api_net_output},
    {"net_release", Api_net_release},
    // log and messages
    {"log", Api_log},
    {"print", Api_print},
    {"msg", Api_msg},
};

// The script classes, in registration order; the other component classes join as
// they are built.
void RegisterClasses(lua_State* L) {
    LuaBinder<Scene>::Register(L);
    LuaBinder<Layer>::Register(L);
    LuaBinder<GameObject>::Register(L);
    LuaBinder<AnimatedBitmapComponent>::Register(L);
    LuaBinder<BitmapComponent>::Register(L);
    LuaBinder<BoxShapeComponent>::Register(L);
    LuaBinder<CircleShapeComponent>::Register(L);
    LuaBinder<MaskShapeComponent>::Register(L);
    LuaBinder<TextComponent>::Register(L);
    LuaBinder<ParticleComponent>::Register(L);
    LuaBinder<ScriptComponent>::Register(L);
    LuaBinder<RectangleComponent>::Register(L);
    LuaBinder<FluidBoxComponent>::Register(L);
    LuaBinder<AnimatedGridComponent>::Register(L);
    LuaBinder<VideoPlayerComponent>::Register(L);
}

void RegisterEngineTable(lua_State* L) {
    lua_newtable(L);
    LuaTableSetString(L, "build_version", "3.X");
    LuaTableSetString(L, "build_date", "Jul 18 2013");
    LuaTableSetNumber(L, "app_build", g_config.version_number);
    LuaTableSetString(L, "app_date", g_config.version_date.c_str());
    LuaTableSetString(L, "platform", "win32");
    LuaTableSetString(L, "project_code", g_config.product_code.c_str());
    LuaTableSetString(L, "language", g_config.language.c_str());
    LuaTableSetString(L, "app_name", g_config.product_name.c_str());
    LuaTableSetBool(L, "retina_display", false);
    lua_setglobal(L, "velk");
}

// Pushes the global when it is still a table; a script may have replaced it with
// anything, and then the engine leaves it alone.
bool PushGlobalTable(lua_State* L, const char* name) {
    lua_getglobal(L, name);
    if (lua_istable(L, -1)) return true;
    lua_pop(L, 1);
    return false;
}

void WriteMouseFields(lua_State* L, const MouseState& mouse) {
    // Halves round up, then toward zero, as the scripts have always seen them.
    LuaTableSetNumber(L, "x", static_cast<int>(mouse.x + 0.5f));
    LuaTableSetNumber(L, "y", static_cast<int>(mouse.y + 0.5f));
    LuaTableSetBool(L, "left_click", mouse.left.click);
    LuaTableSetBool(L, "right_click", mouse.right.click);
    LuaTableSetBool(L, "middle_click", mouse.middle.click);
    LuaTableSetBool(L, "left_down", mouse.left.down);
    LuaTableSetBool(L, "right_down", mouse.right.down);
    LuaTableSetBool(L, "middle_down", mouse.middle.down);
    LuaTableSetBool(L, "left_up", mouse.left.up);
    LuaTableSetBool(L, "right_up", mouse.right.up);
    LuaTableSetBool(L, "middle_up", mouse.middle.up);
    LuaTableSetBool(L, "wheel_up", mouse.wheel_up);
    LuaTableSetBool(L, "wheel_down", mouse.wheel_down);
    LuaTableSetBool(L, "over_window", mouse.over_window);
}

void SetPinchFields(lua_State* L, const char* const (&names)[4], const PinchPoints& points) {
    for (int i = 0; i < 4; ++i) LuaTableSetNumber(L, names[i], points[i]);
}

void WriteTouchFields(lua_State* L, const TouchState& touch) {
    LuaTableSetBool(L, "was_double_tap", touch.double_tap);
    LuaTableSetBool(L, "is_pinching", touch.pinching);
    if (!touch.pinching) return;  // the pinch fields keep their last values
    SetPinchFields(L, {"pinch_start_x1", "pinch_start_y1", "pinch_start_x2", "pinch_start_y2"}, touch.pinch_start);
    SetPinchFields(L, {"pinch_prev_x1", "pinch_prev_y1", "pinch_prev_x2", "pinch_prev_y2"}, touch.pinch_previous);
    SetPinchFields(L, {"pinch_x1", "pinch_y1", "pinch_x2", "pinch_y2"}, touch.pinch_current);
}

// The developer overlay: frames per second, and in dev_mode the texture and draw counts.
void DrawStatisticsLines() {
    constexpr double kMebi = 1.0 / 1048576.0;
    const uint32_t color = PackARGB(1.0f, 1.0f, 0.9f, 1.0f), shadow = PackARGB(0.0f, 0.0f, 0.0f, 0.5f);
    char line[128];
    std::snprintf(line, sizeof line, "%d", TruncateToInt(std::round(GetFrameTimer().fps)));
    DebugFont_DrawShadowed(5, 5, line, color, shadow);
    if (!g_config.dev_mode) return;
    const DrawStatistics& s = g_renderer.statistics;
    std::snprintf(line, sizeof line, "Allocated: %d, %.2f MB", s.texturesAllocated, s.textureBytes * kMebi);
    DebugFont_DrawShadowed(5, 20, line, color, shadow);
    std::snprintf(line, sizeof line, "Drawn: %d, %.1f MB, calls: %d", s.trianglesDrawn, s.pixelsDrawn * kMebi,
                  s.drawCalls);
    DebugFont_DrawShadowed(5, 35, line, color, shadow);
}

}  // namespace

void RegisterLuaApi() {
    lua_State* L = LuaGetState();
    RegisterClasses(L);
    // A new state holds no bitmap handles and starts at the default font scale.
    ForgetBitmapHandles();
    ForgetEffectHandles();
    ResetGfxState();
    for (const luaL_Reg& function : kFlatFunctions) lua_register(L, function.name, function.func);
    lua_newtable(L);
    lua_setglobal(L, "mouse");
    lua_newtable(L);
    lua_setglobal(L, "touchpad");
    lua_pushboolean(L, g_config.dev_mode);
    lua_setglobal(L, "dev_mode");
    RegisterEngineTable(L);
}

void UpdateMouseTables() {
    lua_State* L = LuaGetState();
    if (PushGlobalTable(L, "mouse")) {
        WriteMouseFields(L, g_input.mouse);
        lua_pop(L, 1);
    }
    if (PushGlobalTable(L, "touchpad")) {
        WriteTouchFields(L, g_input.touch);
        lua_pop(L, 1);
    }
}

void UpdateEngineStats() {
    constexpr double kMebi = 1.0 / 1048576.0;
    lua_State* L = LuaGetState();
    if (!PushGlobalTable(L, "velk")) return;
    const DrawStatistics& stats = g_renderer.statistics;
    LuaTableSetNumber(L, "allocated_textures_count", stats.texturesAllocated);
    LuaTableSetNumber(L, "allocated_textures_size", stats.textureBytes * kMebi);
    LuaTableSetNumber(L, "drawn_polys_count", stats.trianglesDrawn);
    LuaTableSetNumber(L, "drawn_polys_size", stats.pixelsDrawn * kMebi);
    LuaTableSetNumber(L, "drawn_call_count", stats.drawCalls);
    lua_pop(L, 1);
}

void UpdateScriptFrame(float dt) {
    UpdateMouseTables();
    LuaUpdate(dt);
    if (g_config.dev_mode) ApplyDeveloperHotKeys(g_input.keys);
}

void RenderScriptFrame() {
    LuaRender();
    UpdateEngineStats();
    if (GetDeveloperOverlay().shown) DrawStatisticsLines();
    FlushBatch(kAllBatchSlots);
    // Shift+F8: the font gallery, then with the layout boxes shown.
    const int gallery = GetDeveloperOverlay().galleryMode;
    if (gallery != 0) FontGallery(gallery == 2);
}
