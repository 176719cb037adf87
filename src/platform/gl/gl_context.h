#pragma once
// The OpenGL compatibility context on the engine window, over SDL (the window code asks
// for its colour and depth bits when it makes the window).
//   GLContext              the context, current on the main thread while it lives
//   SetGLSwapInterval      false when the driver refuses (not an error)
//   SwapGLWindow           shows the back buffer
//   GLPlatformError        the platform's text for the last failure
struct SDL_Window;

enum class GLContextError { None, NoContext, NotCurrent };

class GLContext {
public:
    // Creates the context on the window and makes it current; see error().
    explicit GLContext(SDL_Window* window);
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    GLContextError error() const { return error_; }
    SDL_Window* window() const { return window_; }

private:
    SDL_Window* window_;
    void* context_ = nullptr;
    GLContextError error_ = GLContextError::None;
};

bool SetGLSwapInterval(int interval);
// What the platform said about the last failure.
const char* GLPlatformError();
void SwapGLWindow(SDL_Window* window);
