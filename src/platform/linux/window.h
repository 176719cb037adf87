#pragma once
// The one application window over SDL2.
struct SDL_Window;
struct EngineConfig;

struct WindowSize {
    int width = 0;
    int height = 0;
};

// Full screen: the screen; else window_width x window_height when both are set, else
// width x height.
WindowSize ComputeWindowSize(const EngineConfig& config, WindowSize screen);

// For an OpenGL window, before it is made. Zero alpha bits: destination alpha then reads
// 1, as on a back buffer without alpha.
void SetOpenGLWindowAttributes(int colourBits, int depthBits);
// Creates and shows the window titled product_name; fatal when it cannot.
SDL_Window* CreateAppWindow();
// Destroys the window (a full-screen toggle creates it again).
void DestroyAppWindow();
// Destroys the window, the cursors and the video subsystem at the very end.
void CloseAppWindow();
SDL_Window* GetAppWindow();
// The client area measured after creation.
WindowSize GetAppWindowSize();

bool IsMouseInWindow();
void WarpMouseInWindow(int x, int y);
void SetMouseCapture(bool captured);
// Minimises the window when there is one (before handing the screen to another program).
void MinimizeAppWindow();
// Arrow when set, else a transparent cursor; nothing happens when the flag is unchanged.
// The flag outlives the window and chooses the cursor of the next one.
void SetHardwareCursor(bool visible);
