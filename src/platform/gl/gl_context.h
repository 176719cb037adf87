#pragma once
// The OpenGL compatibility context on the engine window, over SDL.
//   SetGLWindowAttributes  colour and depth bits, asked for before the window is made
//   GLContext              the context, current on the main thread while it lives
//   SetGLSwapInterval      false when the driver refuses (not an error)
//   SwapGLWindow           shows the back buffer
//   GLPlatformError        the platform's text for the last failure
struct SDL_Window;

// Zero alpha bits: destination alpha then reads 1, as on a back buffer without alpha.
void SetGLWindowAttributes(int colourBits, int depthBits);

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
