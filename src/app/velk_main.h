#pragma once
// Process entry, engine start-up, the frame and shutdown.
#include <string>

#include "core/app_state.h"
#include "platform/linux/window.h"

inline constexpr const char* kWindowClass = "Velk Engine";

struct CommandLine {
    bool show_version = false;
    std::string config_file = "config.cfg";
};

CommandLine ParseCommandLine(int argc, const char* const* argv);
std::string VersionText();

// The exit status when another copy of the game runs (0 is a normal end, 3 a fatal
// error, 4 a crash).
inline constexpr int kExitAlreadyRunning = 5;

int AppMain(int argc, char** argv);
// False only when another copy of the game runs.
bool VelkInit();
void MainFrame();
void MainUpdate(float dt);
void MainRender();
// Shuts down only what start-up brought up.
void EngineShutdown();
// The window as the configuration asks for it.
WindowSettings MainWindowSettings();
// CreateAppWindow, fatal when it fails.
SDL_Window* CreateWindowOrExit();
void CreateMainWindow();
void OnFocusRegained();
void RecreateIfNeeded();

// The close policy: true to quit. With confirm_exit a close from the window (origin 2)
// is handed to the script's exit, which keeps the game open when it exists.
using ScriptExitHandler = bool (*)();
bool CloseQuits(bool confirmExit, int closeOrigin, ScriptExitHandler scriptExit);
bool CloseRequestQuits();
// The window's events into the input queue and the app state; closes through
// CloseRequestQuits.
void InstallAppEventSink();

// fps_limit: accumulates dt; false while the frame is not yet due, else dt becomes the
// accumulated time.
bool LimitFrameRate(double& dt, int fpsLimit);
