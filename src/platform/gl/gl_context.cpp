#include "platform/gl/gl_context.h"

#include <SDL.h>

GLContext::GLContext(SDL_Window* window) : window_(window) {
    context_ = SDL_GL_CreateContext(window);
    if (!context_) {
        error_ = GLContextError::NoContext;
        return;
    }
    if (SDL_GL_MakeCurrent(window, context_) != 0) error_ = GLContextError::NotCurrent;
}

GLContext::~GLContext() {
    if (!context_) return;
    SDL_GL_MakeCurrent(window_, nullptr);
    SDL_GL_DeleteContext(context_);
}

bool SetGLSwapInterval(int interval) {
    return SDL_GL_SetSwapInterval(interval) == 0;
}

void SwapGLWindow(SDL_Window* window) {
    SDL_GL_SwapWindow(window);
}

const char* GLPlatformError() {
    return SDL_GetError();
}
