#include "app/velk_main.h"

#include <cstdio>
#include <ctime>

#include "audio/sound_thread.h"
#include "core/build_info.h"
#include "core/config.h"
#include "core/crash.h"
#include "core/frame_timer.h"
#include "core/input.h"
#include "core/log.h"
#include "core/profile.h"
#include "core/random.h"
#include "core/string_utils.h"
#include "effects/collision_mask_registry.h"
#include "formats/start_files.h"
#include "graphics/icon_image.h"
#include "graphics/render.h"
#include "graphics/render_target.h"
#include "graphics/screenshot.h"
#include "graphics/sprite_batch.h"
#include "graphics/texture.h"
#include "net/net_manager.h"
#include "platform/linux/clock.h"
#include "platform/linux/crash_guard.h"
#include "platform/linux/events.h"
#include "platform/linux/message_box.h"
#include "platform/linux/signals.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/window.h"
#include "script/api/lua_api.h"
#include "script/api/lua_api_effects.h"
#include "script/console.h"
#include "script/lua_base.h"
#include "script/lua_bound.h"
#include "script/scene/scene.h"
#include "storage/storage.h"
#include "storage/storage_mounts.h"
#include "text/debug_font.h"
#include "text/text_renderer.h"
#include "text/true_text.h"
#include "video/video_manager.h"

namespace {

constexpr int kVirtualKeyEnter = 13;
constexpr int kVirtualKeyAlt = 18;
constexpr int kVirtualKeyF1 = 112;
constexpr int kVirtualKeyF9 = 120;
constexpr int kVirtualKeyF12 = 123;
constexpr uint32_t kUnfocusedSleepMs = 50;
constexpr uint32_t kDeviceLostSleepMs = 200;
constexpr std::size_t kConfigPrefixLength = 7;

// What start-up brought up, so that shutdown (after a second copy or a fatal error on
// the way) takes down only that.
struct StartedSteps {
    bool storage = false;
    bool profiler = false;
    bool window = false;
    bool fonts = false;
    bool sound = false;
};

StartedSteps g_started;
SingleInstanceLock g_instance_lock;

bool KeyPressedThisFrame(int code) { return g_input.keys.pressed[code] == kKeyPressed; }
bool KeyHeld(int code) { return g_input.keys.down[code] == kKeyHeld; }

// --- start-up steps -------------------------------------------------------------------

void InitStorageStep() {
    InitStorage();
    g_started.storage = true;
}

// A missing language or version file keeps the defaults; a missing configuration is fatal.
void LoadStartFiles() {
    LoadLanguageFile(g_config.language);
    LoadVersionFile(g_config.version_number, g_config.version_date);
    LoadConfig();
    ApplyRenderConfig();
}

// A copy that ends at once says why, so that a script or CI run does not read the quiet
// end as a game that ran.
bool IsOnlyCopy() {
    if (g_instance_lock.Acquire(kWindowClass, g_config.product_name)) return true;
    std::fprintf(stderr, "%s is already running (lock file %s)\n", g_config.product_name.c_str(),
                 g_instance_lock.Path().c_str());
    return false;
}

void StartLog() {
    ResetLogFile();
    LogPrintf("Velk engine version: %s (%s, %s)", kEngineVersion, BuildDate(), RevisionId());
    LogPrintf("Platform: %s", kPlatformName);
    LogPrintf("OpenGL: %s", g_config.opengl ? "true" : "false");
    const FileSystemContainer* writable = GetWritableContainer();
    LogPrintf("Storage: Writable container at %s", writable ? writable->Root().c_str() : "");
    // The lock was tried before the log existed.
    if (!g_instance_lock.Failure().empty()) LogPrintf("%s", g_instance_lock.Failure().c_str());
}

void StartFrameTimer() {
    FrameTimer& timer = GetFrameTimer();
    timer.divisor = 1000;
    timer.max_step = 0.5;
    timer.start = timer.Counter();
}

void SeedRandomGenerator() { SeedRandom(static_cast<unsigned int>(std::time(nullptr))); }

void BootGame() {
    ProfileStart("game_boot");
    RegisterLuaApi();
    LuaDoFile("init.lua");
    LuaBoot();
    ProfileStop("game_boot");
}

void InitWindow() {
    ProfileStart("window_init");
    CreateMainWindow();
    ProfileStop("window_init");
}

void InitTextAndInput() {
    TrueText_Init();
    g_started.fonts = true;
    ResetInput();
}

// The debug font draws whatever `true_text` says, so its texture goes whatever it says too.
void ReleaseFonts() {
    TrueText_Destroy();
    DebugFont_Release();
}

void StartSound() {
    AudioDisabled.store(g_config.disable_audio);
    if (g_config.disable_audio) return;
    StartSoundThread();
    g_started.sound = true;
}

void CreateVideo() {
    CreateVideoManager();
}

void LoadConsoleHistory() {
    if (!g_config.dev_mode) return;
    Console_LoadHistory();
}

void InitGame() {
    ProfileStart("game_init");
    LuaInit();
    AllocateBatchBuffers();
    ProfileStop("game_init");
}

void ReleaseUnused() { ReleaseUnusedTextures(); }

void FinishStartUp() {
    GetFrameTimer().Reset();
    LogPrintf("VelkInit done");
    ProfileStop("velk_init");
    ProfilePrint();
}

// --- renderer steps -------------------------------------------------------------------

// The renderer draws into the client area the window code measured.
void StartRenderer(SDL_Window* window) {
    const WindowSize size = GetAppWindowSize();
    g_renderer.windowWidth = size.width;
    g_renderer.windowHeight = size.height;
    g_renderer.fullScreen = g_config.full_screen;
    InitRenderer(window);
}

// A present that finds the device lost makes the next pass re-create the renderer.
void PresentAndWatchDevice() {
    PresentFrame();
    if (RenderDeviceLost()) g_engine.device_lost = true;
}

// --- frame steps ----------------------------------------------------------------------

void OnFocusLost() {
    LuaOnLostFocus();
    QueueSoundsPaused(true);
    ResetInput();
}

// True when the pass is over (focus lost after a frame was shown).
bool UpdateFocus() {
    const bool focused = g_app.active && !g_app.minimised;
    if (focused != g_engine.focused) {
        g_engine.focused = focused;
        focused ? OnFocusRegained() : OnFocusLost();
    }
    if (focused || !g_engine.frame_rendered) return false;
    SleepMs(kUnfocusedSleepMs);
    if (g_engine.device_lost) return true;
    MainRender();
    PresentAndWatchDevice();
    return true;
}

double TickTimer() {
    FrameTimer& timer = GetFrameTimer();
    if (g_config.fps_limit < 1) return timer.Tick();
    double dt = timer.Advance();
    if (!LimitFrameRate(dt, g_config.fps_limit)) return 0;
    // One sample per shown frame, so the rate reads the capped rate, not the spin rate.
    timer.RecordFrame(dt);
    return dt;
}

void RenderAndPresent() {
    if (g_engine.device_lost) return;
    ProfileStart("main_render");
    MainRender();
    if (KeyPressedThisFrame(kVirtualKeyF1) || KeyPressedThisFrame(kVirtualKeyF12)) {
        TakeScreenshot(nullptr, nullptr, nullptr);
    }
    PresentAndWatchDevice();
    ProfileStop("main_render");
}

void HandleHotKeys() {
    if (!KeyHeld(kVirtualKeyAlt)) return;
    if (g_config.dev_mode && KeyPressedThisFrame(kVirtualKeyF9)) ProfileReset();
    if (KeyPressedThisFrame(kVirtualKeyEnter)) g_engine.full_screen_toggle_requested = true;
}

void ReleaseDeviceResources() {
    // Fonts: TextRenderer quad index buffer.
    ReleaseDeviceTextures();
    ReleaseFonts();
    CloseRenderer();
}

void RestoreDeviceResources() {
    ReloadDeviceTextures();
    TrueText_Init();
    LuaRecreate();
}

void ToggleFullScreen() {
    DestroyAppWindow();
    g_engine.full_screen_toggle_requested = false;
    g_config.full_screen = !g_config.full_screen;
    CreateMainWindow();
}

// --- process entry --------------------------------------------------------------------

// The report and the log live in the writable container; without one there is no report.
void SetCrashPathsFromStorage() {
    if (GetWritableContainer()) SetCrashDumpPath(GetWritablePath("crash.dmp"));
    RefreshCrashSender();
}

void RunMessageLoop() {
    while (!g_app.quit_requested) {
        const PumpResult result = PumpOneEvent();
        if (result == PumpResult::Quit) return;
        if (result == PumpResult::Idle) MainFrame();
    }
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::string lower = ToLower(argument);
        if (lower == "version") line.show_version = true;
        if (lower.starts_with("config=") && argument.size() > kConfigPrefixLength)
            line.config_file = argument.substr(kConfigPrefixLength);
    }
    return line;
}

std::string VersionText() {
    return std::string("Velk Engine Version: ") + kEngineVersion + "\nBuild date: " + BuildDate() +
           "\nRevision id: " + RevisionId();
}

bool CloseQuits(bool confirmExit, int closeOrigin, ScriptExitHandler scriptExit) {
    return !(confirmExit && closeOrigin == kCloseOriginWindow && scriptExit && scriptExit());
}

bool CloseRequestQuits() { return CloseQuits(g_config.confirm_exit, g_app.close_origin, LuaOnExit); }

void InstallAppEventSink() {
    SetEventSink({
        [](const InputEvent& e) { QueueInputEvent(e.type, e.value, e.x, e.y, e.repeat); },
        [](bool active) { g_app.active = active; },
        [](bool minimised) { g_app.minimised = minimised; },
        [](int origin) {
            if (origin != 0) g_app.close_origin = origin;
            return CloseRequestQuits();
        },
    });
}

bool LimitFrameRate(double& dt, int fpsLimit) {
    g_engine.fps_accumulator += dt;
    if (g_engine.fps_accumulator < 1.0 / fpsLimit) return false;
    dt = g_engine.fps_accumulator;
    g_engine.fps_accumulator = 0;
    return true;
}

bool VelkInit() {
    InstallAppEventSink();
    InitStorageStep();
    LoadStartFiles();
    if (!IsOnlyCopy()) return false;
    MountWritableStorage();
    StartLog();
    RefreshCrashSender();
    MountLanguageStorage();
    MountDataStorage();
    StartFrameTimer();
    SeedRandomGenerator();
    ProfileStart("velk_init");
    g_started.profiler = true;
    LuaCreateState();
    BootGame();
    InitWindow();
    InitTextAndInput();
    StartSound();
    CreateVideo();
    LoadConsoleHistory();
    InitGame();
    ReleaseUnused();
    FinishStartUp();
    return true;
}

WindowSettings MainWindowSettings() {
    WindowSettings settings;
    settings.title = g_config.product_name;
    settings.width = g_config.width;
    settings.height = g_config.height;
    settings.window_width = g_config.window_width;
    settings.window_height = g_config.window_height;
    settings.full_screen = g_config.full_screen;
    settings.opengl = g_config.opengl;
    settings.bit16 = g_config.bit16;
    DecodedImage icon;
    if (!g_config.icon_file.empty() && LoadIconFile(g_config.icon_file, icon)) {
        settings.icon_width = icon.width;
        settings.icon_height = icon.height;
        settings.icon_pixels.assign(icon.pixels.get(), icon.pixels.get() + static_cast<std::size_t>(icon.width) * icon.height);
    }
    return settings;
}

SDL_Window* CreateWindowOrExit() {
    SDL_Window* window = CreateAppWindow(MainWindowSettings());
    if (window) return window;
    const WindowError& error = LastWindowError();
    LogPrintf("SDL: %s", error.reason.c_str());
    VELK_ERROR("%s", error.step);
}

void CreateMainWindow() {
    LogPrintf("CreateMainWindow begin");
    SDL_Window* window = CreateWindowOrExit();
    g_started.window = true;
    StartRenderer(window);
    FlushBatch(kAllBatchSlots);
    SetCullMode(kCullNone);
    LogPrintf("CreateMainWindow done");
}

void OnFocusRegained() {
    QueueSoundsPaused(false);
    ResetInput();
    LuaOnRegainedFocus();
    GetFrameTimer().Reset();
}

void RecreateIfNeeded() {
    if (g_engine.full_screen_toggle_requested) {
        LogPrintf("Toggling full screen");
    } else if (g_engine.device_lost) {
        LogPrintf("Recreating on activation");
    } else {
        return;
    }
    ReleaseDeviceResources();
    if (g_engine.full_screen_toggle_requested) {
        ToggleFullScreen();
    } else {
        StartRenderer(GetAppWindow());
    }
    g_engine.device_lost = false;
    ClearRenderDeviceLost();
    RestoreDeviceResources();
    GetFrameTimer().Reset();
}

void MainFrame() {
    if (UpdateFocus()) return;
    RecreateIfNeeded();
    if (g_engine.device_lost) {
        SleepMs(kDeviceLostSleepMs);
        return;
    }
    const double dt = TickTimer();
    if (dt <= 0) return;
    ProfileStart("main_update");
    MainUpdate(static_cast<float>(dt));
    ProfileStop("main_update");
    // Objects the script dropped during the update go here, outside every native method.
    if (lua_State* L = LuaGetState()) LuaDeleteDroppedObjects(L);
    if (g_app.quit_requested) return;
    RenderAndPresent();
    ReleaseUnused();
    g_engine.frame_rendered = true;
}

void MainUpdate(float dt) {
    SwapInputQueues();
    ProcessInputEvents();
    HandleHotKeys();
    if (NetManager* net = FindNetManager()) net->Update();
    if (!Console_Update(dt)) UpdateScriptFrame(dt);
}

void MainRender() {
    CloseLeftoverRenderTarget();
    PrerenderScene();
    ClearScreen();
    if (!BeginScene()) return;
    ResetFrameStatistics();
    FlushBatch(kAllBatchSlots);
    SetDefaultBlendState();
    RenderScriptFrame();
    Console_Render();
    EndScene();
}

void EngineShutdown() {
    LuaDestroy();
    if (g_config.dev_mode) Console_SaveHistory();
    LuaCloseState();
    // Masks still held (by the scripts' handles): logged and freed; then the handles.
    ReportUnreleasedCollisionMasks();
    ForgetEffectHandles();
    if (g_started.fonts) ReleaseFonts();
    if (g_started.sound) ShutdownSound();
    DestroyVideoManager();
    // Bitmap fonts give back their page textures while the registry still exists.
    GetTextRenderer().Clear();
    ReleaseAllTextures();
    if (g_started.window) {
        CloseRenderer();
        FreeBatchBuffers();
    }
    if (g_started.profiler) ProfilePrint();
    // While the log can still be written.
    DestroyNetManager();
    if (g_started.storage) ShutdownStorage();
    CloseAppWindow();
    g_instance_lock.Release();
    g_started = StartedSteps{};
}

int AppMain(int argc, char** argv) {
    InstallCrashPath();
    Console_Install();
    InstallCloseSignalHandlers();
    IgnoreBrokenPipes();
    const CommandLine line = ParseCommandLine(argc, argv);
    if (line.show_version) {
        ShowMessageBox(VersionText(), "Version info", MessageBoxKind::Information);
        return 0;
    }
    g_config.config_file = line.config_file;
    InitRenderGlobals();
    const bool started = VelkInit();
    if (started) {
        SetCrashPathsFromStorage();
        RunMessageLoop();
    }
    EngineShutdown();
    return started ? 0 : kExitAlreadyRunning;
}
