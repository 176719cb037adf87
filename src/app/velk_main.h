#pragma once
// Process entry, engine start-up, the frame and shutdown.
#include <string>

// Window-side state: focus, minimise and where the last close request came from.
struct AppState {
    bool active = true;
    bool minimised = false;
    int close_origin = 0;
    bool quit_requested = false;
};

// Frame-side state of the engine.
struct EngineState {
    bool focused = false;
    bool frame_rendered = false;
    bool full_screen_toggle_requested = false;
    bool device_lost = false;
    double fps_accumulator = 0;
};

extern AppState g_app;
extern EngineState g_engine;

inline constexpr const char* kWindowClass = "Velk Engine";

struct CommandLine {
    bool show_version = false;
    std::string config_file = "config.cfg";
};

CommandLine ParseCommandLine(int argc, const char* const* argv);
std::string VersionText();

int AppMain(int argc, char** argv);
// False only when another copy of the game runs.
bool VelkInit();
void MainFrame();
void MainUpdate(float dt);
void MainRender();
// Shuts down only what start-up brought up.
void EngineShutdown();
void CreateMainWindow();
void OnFocusRegained();
void RecreateIfNeeded();

// The close policy: true to quit. With confirm_exit a close from the window (origin 2)
// is handed to the script's exit, which keeps the game open when it exists.
using ScriptExitHandler = bool (*)();
bool CloseQuits(bool confirmExit, int closeOrigin, ScriptExitHandler scriptExit);
bool CloseRequestQuits();

// fps_limit: accumulates dt; false while the frame is not yet due, else dt becomes the
// accumulated time.
bool LimitFrameRate(double& dt, int fpsLimit);
