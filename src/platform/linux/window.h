#pragma once
// The one application window over SDL2.
#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;

struct WindowSize {
    int width = 0;
    int height = 0;
};

// What the window is made from; the app fills it from the configuration.
struct WindowSettings {
    std::string title;
    // The virtual size; the screen size when the desktop's is unknown.
    int width = 0;
    int height = 0;
    int window_width = 0;
    int window_height = 0;
    bool full_screen = false;
    bool opengl = false;
    // 16-bit colour for an OpenGL window.
    bool bit16 = false;
    // The icon's pixels, bytes R, G, B, A, rows top-down; no icon when empty.
    int icon_width = 0;
    int icon_height = 0;
    std::vector<uint32_t> icon_pixels;
};

// Why the last CreateAppWindow failed: the step, and SDL's reason.
struct WindowError {
    const char* step = nullptr;
    std::string reason;
};

// Full screen: the screen; else window_width x window_height when both are set, else
// width x height.
WindowSize ComputeWindowSize(const WindowSettings& config, WindowSize screen);

// For an OpenGL window, before it is made. Zero alpha bits: destination alpha then reads
// 1, as on a back buffer without alpha.
void SetOpenGLWindowAttributes(int colourBits, int depthBits);
// Creates and shows the window; null when it cannot (see LastWindowError).
SDL_Window* CreateAppWindow(const WindowSettings& settings);
const WindowError& LastWindowError();
// Destroys the window (a full-screen toggle creates it again).
void DestroyAppWindow();
// Destroys the window, the cursors and the video subsystem at the very end.
void CloseAppWindow();
SDL_Window* GetAppWindow();
// The client area measured after creation.
WindowSize GetAppWindowSize();

// Full screen: always, while there is a window.
bool IsMouseInWindow(bool fullScreen);
// A point on or past an edge lands on the window's outermost pixel: the cursor stays in.
void WarpMouseInWindow(int x, int y);
void SetMouseCapture(bool captured);
// Minimises the window when there is one (before handing the screen to another program).
void MinimizeAppWindow();
// Arrow when set, else a transparent cursor; nothing happens when the flag is unchanged.
// The flag outlives the window and chooses the cursor of the next one.
void SetHardwareCursor(bool visible);
