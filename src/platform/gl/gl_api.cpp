#include "platform/gl/gl_api.h"

#include <SDL.h>

GLFunctions g_gl;

namespace {

bool g_extensionsLoaded = false;

template <typename Function>
bool Fetch(Function& slot, const char* name) {
    slot = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
    return slot != nullptr;
}

template <typename Function>
void FetchUnder(Function& slot, const char* extension, const char* name) {
    slot = reinterpret_cast<Function>(GL_GetExtensionProc(extension, name));
}

}  // namespace

bool LoadGLCoreFunctions() {
    GLFunctions& f = g_gl;
    return Fetch(f.GetError, "glGetError") && Fetch(f.GetIntegerv, "glGetIntegerv") && Fetch(f.GetString, "glGetString") && Fetch(f.Enable, "glEnable") &&
           Fetch(f.Disable, "glDisable") && Fetch(f.BlendFunc, "glBlendFunc") && Fetch(f.ColorMask, "glColorMask") &&
           Fetch(f.AlphaFunc, "glAlphaFunc") && Fetch(f.DepthFunc, "glDepthFunc") &&
           Fetch(f.DepthMask, "glDepthMask") && Fetch(f.CullFace, "glCullFace") &&
           Fetch(f.FrontFace, "glFrontFace") && Fetch(f.Viewport, "glViewport") &&
           Fetch(f.MatrixMode, "glMatrixMode") && Fetch(f.LoadIdentity, "glLoadIdentity") &&
           Fetch(f.LoadMatrixf, "glLoadMatrixf") && Fetch(f.ClearColor, "glClearColor") &&
           Fetch(f.ClearDepth, "glClearDepth") && Fetch(f.Clear, "glClear") &&
           Fetch(f.GenTextures, "glGenTextures") && Fetch(f.DeleteTextures, "glDeleteTextures") &&
           Fetch(f.BindTexture, "glBindTexture") && Fetch(f.TexParameteri, "glTexParameteri") &&
           Fetch(f.TexParameterfv, "glTexParameterfv") && Fetch(f.TexImage2D, "glTexImage2D") &&
           Fetch(f.TexSubImage2D, "glTexSubImage2D") && Fetch(f.PixelStorei, "glPixelStorei") &&
           Fetch(f.EnableClientState, "glEnableClientState") && Fetch(f.VertexPointer, "glVertexPointer") &&
           Fetch(f.ColorPointer, "glColorPointer") && Fetch(f.TexCoordPointer, "glTexCoordPointer") &&
           Fetch(f.DrawElements, "glDrawElements") && Fetch(f.ReadPixels, "glReadPixels") &&
           Fetch(f.Finish, "glFinish");
}

void GL_LoadExtensions() {
    if (g_extensionsLoaded) return;
    g_extensionsLoaded = true;
    GLFunctions& f = g_gl;
    // Part of OpenGL since 1.2 (and of the imaging subset before): fetched without a test.
    Fetch(f.BlendEquation, "glBlendEquation");
    constexpr const char* kFbo = "GL_EXT_framebuffer_object";
    FetchUnder(f.GenFramebuffersEXT, kFbo, "glGenFramebuffersEXT");
    FetchUnder(f.DeleteFramebuffersEXT, kFbo, "glDeleteFramebuffersEXT");
    FetchUnder(f.BindFramebufferEXT, kFbo, "glBindFramebufferEXT");
    FetchUnder(f.FramebufferTexture2DEXT, kFbo, "glFramebufferTexture2DEXT");
    FetchUnder(f.CheckFramebufferStatusEXT, kFbo, "glCheckFramebufferStatusEXT");
    FetchUnder(f.GenRenderbuffersEXT, kFbo, "glGenRenderbuffersEXT");
    FetchUnder(f.DeleteRenderbuffersEXT, kFbo, "glDeleteRenderbuffersEXT");
    FetchUnder(f.BindRenderbufferEXT, kFbo, "glBindRenderbufferEXT");
    FetchUnder(f.RenderbufferStorageEXT, kFbo, "glRenderbufferStorageEXT");
    FetchUnder(f.FramebufferRenderbufferEXT, kFbo, "glFramebufferRenderbufferEXT");
}

void* GL_GetExtensionProc(const char* extension, const char* entryPoint) {
    // SDL also reads an environment variable of the extension's name: "0" hides it.
    if (!SDL_GL_ExtensionSupported(extension)) return nullptr;
    return SDL_GL_GetProcAddress(entryPoint);
}

bool GLHasFramebufferObjects() {
    const GLFunctions& f = g_gl;
    return f.GenFramebuffersEXT && f.DeleteFramebuffersEXT && f.BindFramebufferEXT && f.FramebufferTexture2DEXT &&
           f.CheckFramebufferStatusEXT && f.GenRenderbuffersEXT && f.DeleteRenderbuffersEXT &&
           f.BindRenderbufferEXT && f.RenderbufferStorageEXT && f.FramebufferRenderbufferEXT;
}
