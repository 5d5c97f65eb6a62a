// The "SDL" module: windows, events and OpenGL contexts through SDL2.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform/plugin.h"

namespace {

// Why init or windowOpen last failed.
char lastFailure[256] = "";

void setFailure(const char *what) {
    const char *why = SDL_GetError();
    snprintf(lastFailure, sizeof lastFailure, "%s%s%s", what, why && *why ? ": " : "", why ? why : "");
}

struct Window {
    SDL_Window *window;
    SDL_GLContext context;  // null for windows drawn by the software renderer
    bool vsync;
};

// On failure, notes SDL's reason when asked (before SDL_Quit forgets it).
bool initWith(const char *driver, bool note) {
    if (driver) SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
    if (!note) {
        SDL_Quit();
        return false;
    }
    char what[128];
    snprintf(what, sizeof what, "cannot open the display (%s)", driver ? driver : SDL_getenv("SDL_VIDEODRIVER"));
    setFailure(what);
    SDL_Quit();
    return false;
}

// Drivers that draw to no screen do not count as a display: without one the
// engine's own headless mode takes over. A driver named in SDL_VIDEODRIVER is
// used as it is.
bool isDisplayDriver(const char *name) {
    if (!strcmp(name, "offscreen") || !strcmp(name, "dummy") || !strcmp(name, "evdev")) return false;
    if (!strcmp(name, "x11")) return getenv("DISPLAY") && *getenv("DISPLAY");
    if (!strcmp(name, "wayland")) return getenv("WAYLAND_DISPLAY") && *getenv("WAYLAND_DISPLAY");
    return true;
}

bool init() {
    // The engine handles SIGINT and SIGTERM itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    const char *chosen = getenv("SDL_VIDEODRIVER");
    if (chosen && *chosen) return initWith(nullptr, true);
    // A display named by DISPLAY or WAYLAND_DISPLAY that does not open is
    // worth its own reason; console drivers that find no screen are not.
    bool named = false;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); i++) {
        const char *name = SDL_GetVideoDriver(i);
        if (!name || !isDisplayDriver(name)) continue;
        bool isNamed = !strcmp(name, "x11") || !strcmp(name, "wayland");
        if (initWith(name, isNamed && !named)) return true;
        named = named || isNamed;
    }
    if (!named) snprintf(lastFailure, sizeof lastFailure, "no display");
    return false;
}

void quit() { SDL_Quit(); }

void *windowOpen(int w, int h, bool gl) {
    Uint32 flags = SDL_WINDOW_SHOWN;
    if (gl) {
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        flags |= SDL_WINDOW_OPENGL;
    }
    Window *win = static_cast<Window *>(calloc(1, sizeof(Window)));
    if (!win) {
        snprintf(lastFailure, sizeof lastFailure, "out of memory");
        return nullptr;
    }
    win->window = SDL_CreateWindow("MORVEN", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (win->window && gl) {
        win->context = SDL_GL_CreateContext(win->window);
        if (!win->context) {
            SDL_DestroyWindow(win->window);
            win->window = nullptr;
        } else {
            win->vsync = SDL_GL_SetSwapInterval(1) == 0;
        }
    }
    if (!win->window) {
        setFailure(gl ? "no OpenGL window" : "no window");
        free(win);
        return nullptr;
    }
    return win;
}

void windowClose(void *window) {
    Window *win = static_cast<Window *>(window);
    if (win->context) SDL_GL_DeleteContext(win->context);
    SDL_DestroyWindow(win->window);
    free(win);
}

void windowSetTitle(void *window, const char *title) { SDL_SetWindowTitle(static_cast<Window *>(window)->window, title); }

unsigned poll(void *) {
    unsigned events = 0;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT) events |= MV_PLATFORM_QUIT;
        if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE) events |= MV_PLATFORM_QUIT;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) events |= MV_PLATFORM_QUIT;
    }
    return events;
}

void swap(void *window) { SDL_GL_SwapWindow(static_cast<Window *>(window)->window); }

void blit(void *window, const uint8_t *rgba, int w, int h) {
    SDL_Window *sdlWindow = static_cast<Window *>(window)->window;
    SDL_Surface *surface = SDL_GetWindowSurface(sdlWindow);
    if (!surface || surface->w < w || surface->h < h) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_RGBA32, rgba, w * 4, surface->format->format, surface->pixels,
                      surface->pitch);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    SDL_UpdateWindowSurface(sdlWindow);
}

bool vsync(void *window) { return static_cast<Window *>(window)->vsync; }

const MVPluginPlatform platform = {init, quit, windowOpen, windowClose, windowSetTitle, poll, swap, blit, vsync};
const char *error() { return lastFailure; }

const MVPlugin plugin = {MV_PLUGIN_ABI, "SDL", &platform, nullptr, nullptr, error};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
