#include "platform/gl/gl_context.h"

#include <SDL.h>

void SetGLWindowAttributes(int colourBits, int depthBits) {
    const bool bits16 = colourBits <= 16;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, bits16 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits16 ? 6 : 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, bits16 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

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
