#pragma once
// The application's state flags, written by the window's events, the scripts and the
// frame.
//   g_app     focus, minimise, the last close origin, a quit asked for by the script
//   g_engine  frame-side flags: focus handled, frame drawn, full-screen toggle, lost device

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
