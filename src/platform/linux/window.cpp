#include "platform/linux/window.h"

#include <SDL.h>

#include <algorithm>
#include <memory>

namespace {

struct WindowDeleter {
    void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
struct CursorDeleter {
    void operator()(SDL_Cursor* cursor) const { SDL_FreeCursor(cursor); }
};
struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

struct WindowState {
    std::unique_ptr<SDL_Window, WindowDeleter> window;
    std::unique_ptr<SDL_Cursor, CursorDeleter> arrow;
    std::unique_ptr<SDL_Cursor, CursorDeleter> blank;
    WindowSize size;
    bool hardware_cursor = true;
    WindowError error;
};

WindowState& State() {
    static WindowState state;
    return state;
}

bool Fail(const char* step) {
    State().error = {step, SDL_GetError()};
    return false;
}

bool InitVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Our own handlers turn SIGTERM/SIGINT/SIGHUP into a close; the close button alone
    // must not quit, since the script may veto it.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 || Fail("Error - RegisterClassEx");
}

WindowSize ScreenSize(const WindowSettings& settings) {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return {settings.width, settings.height};
    return {mode.w, mode.h};
}

void CreateCursors() {
    WindowState& state = State();
    if (!state.arrow) state.arrow.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
    if (!state.blank) {
        static const Uint8 kNone[4] = {0, 0, 0, 0};
        state.blank.reset(SDL_CreateCursor(kNone, kNone, 4, 4, 2, 2));
    }
}

void ApplyCursor() {
    WindowState& state = State();
    SDL_Cursor* cursor = state.hardware_cursor ? state.arrow.get() : state.blank.get();
    if (cursor) SDL_SetCursor(cursor);
}

// No resources on Linux: only icon_file can give an icon, and only when it decodes.
void SetIcon(SDL_Window* window, const WindowSettings& settings) {
    const std::size_t count = static_cast<std::size_t>(std::max(settings.icon_width, 0)) * std::max(settings.icon_height, 0);
    if (count == 0 || settings.icon_pixels.size() != count) return;
    // SDL only reads the pixels while it copies them into the window's icon.
    void* pixels = const_cast<uint32_t*>(settings.icon_pixels.data());
    const std::unique_ptr<SDL_Surface, SurfaceDeleter> icon(SDL_CreateRGBSurfaceWithFormatFrom(
        pixels, settings.icon_width, settings.icon_height, 32, settings.icon_width * 4, SDL_PIXELFORMAT_RGBA32));
    if (icon) SDL_SetWindowIcon(window, icon.get());
}

}  // namespace

void SetOpenGLWindowAttributes(int colourBits, int depthBits) {
    const bool bits16 = colourBits <= 16;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, bits16 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, bits16 ? 6 : 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, bits16 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

WindowSize ComputeWindowSize(const WindowSettings& config, WindowSize screen) {
    if (config.full_screen) return screen;
    if (config.window_width >= 1 && config.window_height >= 1) return {config.window_width, config.window_height};
    return {config.width, config.height};
}

SDL_Window* CreateAppWindow(const WindowSettings& settings) {
    if (!InitVideo()) return nullptr;
    WindowState& state = State();
    const WindowSize size = ComputeWindowSize(settings, ScreenSize(settings));
    Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_INPUT_FOCUS;
    if (settings.opengl) {
        flags |= SDL_WINDOW_OPENGL;
        // Depth is 16-bit: no key asks for 24 bits.
        SetOpenGLWindowAttributes(settings.bit16 ? 16 : 32, 16);
    } else {
        // The software device presents through the window surface; SDL would route that through
        // a GL driver by default, which costs more than the frame. A value from the environment wins.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    }
    if (settings.full_screen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    state.window.reset(SDL_CreateWindow(settings.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        size.width, size.height, flags));
    if (!state.window) {
        Fail("Cannot create application's window");
        return nullptr;
    }
    SetIcon(state.window.get(), settings);
    CreateCursors();
    ApplyCursor();
    SDL_GetWindowSize(state.window.get(), &state.size.width, &state.size.height);
    // CreateMainWindow starts the renderer on this window once it is measured.
    SDL_RaiseWindow(state.window.get());
    return state.window.get();
}

void DestroyAppWindow() { State().window.reset(); }

void CloseAppWindow() {
    WindowState& state = State();
    state.window.reset();
    state.arrow.reset();
    state.blank.reset();
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_Window* GetAppWindow() { return State().window.get(); }

const WindowError& LastWindowError() { return State().error; }

WindowSize GetAppWindowSize() { return State().size; }

bool IsMouseInWindow(bool fullScreen) {
    SDL_Window* window = GetAppWindow();
    if (!window) return false;
    if (fullScreen) return true;
    int mouseX = 0, mouseY = 0, left = 0, top = 0, width = 0, height = 0;
    SDL_GetGlobalMouseState(&mouseX, &mouseY);
    SDL_GetWindowPosition(window, &left, &top);
    SDL_GetWindowSize(window, &width, &height);
    return mouseX >= left && mouseX <= left + width && mouseY >= top && mouseY <= top + height;
}

void WarpMouseInWindow(int x, int y) {
    SDL_Window* window = GetAppWindow();
    if (!window) return;
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    SDL_WarpMouseInWindow(window, std::clamp(x, 0, std::max(width - 1, 0)), std::clamp(y, 0, std::max(height - 1, 0)));
}

void MinimizeAppWindow() {
    if (SDL_Window* window = GetAppWindow()) SDL_MinimizeWindow(window);
}

void SetMouseCapture(bool captured) {
    if (GetAppWindow()) SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
}

void SetHardwareCursor(bool visible) {
    WindowState& state = State();
    if (state.hardware_cursor == visible) return;
    state.hardware_cursor = visible;
    if (GetAppWindow()) ApplyCursor();
}
