// The "SDL" module: windows, events and OpenGL contexts through SDL2.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <morven/input.h>

#include "modules/sdl/sdl_module.h"
#include "modules/sdl/audio.h"

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
    if (chosen && *chosen) {
        if (!initWith(nullptr, true)) return false;
        padsInit();  // without gamepads the window still works
        return true;
    }
    // A display named by DISPLAY or WAYLAND_DISPLAY that does not open is
    // worth its own reason; console drivers that find no screen are not.
    bool named = false;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); i++) {
        const char *name = SDL_GetVideoDriver(i);
        if (!name || !isDisplayDriver(name)) continue;
        bool isNamed = !strcmp(name, "x11") || !strcmp(name, "wayland");
        if (initWith(name, isNamed && !named)) {
            padsInit();  // without gamepads the window still works
            return true;
        }
        named = named || isNamed;
    }
    if (!named) snprintf(lastFailure, sizeof lastFailure, "no display");
    return false;
}

void quit() {
    padsQuit();
    SDL_Quit();
}

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

unsigned buttonFromSdl(Uint8 button) {
    switch (button) {
    case SDL_BUTTON_LEFT: return MV_MOUSE_LEFT;
    case SDL_BUTTON_RIGHT: return MV_MOUSE_RIGHT;
    case SDL_BUTTON_MIDDLE: return MV_MOUSE_MIDDLE;
    default: return 0;
    }
}

// False when the event is a key the engine does not know, or a repeat.
bool keyEvent(const SDL_KeyboardEvent &key, MVPlatformEvent *out) {
    if (key.repeat) return false;
    out->key = keyFromScancode(key.keysym.scancode);
    out->kind = key.type == SDL_KEYDOWN ? MV_PLATFORM_KEY_DOWN : MV_PLATFORM_KEY_UP;
    return out->key != 0;
}

void drawableSize(SDL_Window *window, int *w, int *h) {
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)
        SDL_GL_GetDrawableSize(window, w, h);
    else
        SDL_GetWindowSize(window, w, h);
}

unsigned poll(void *window, MVPlatformEventSink sink, void *context) {
    unsigned events = 0;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        MVPlatformEvent out = {};
        bool send = false;
        if (padEvent(e, sink, context)) continue;
        switch (e.type) {
        case SDL_QUIT: events |= MV_PLATFORM_QUIT; break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE) events |= MV_PLATFORM_QUIT;
            if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                int w = 0, h = 0;
                drawableSize(static_cast<Window *>(window)->window, &w, &h);
                out = {MV_PLATFORM_RESIZE, 0, 0, static_cast<float>(w), static_cast<float>(h), nullptr};
                send = w > 0 && h > 0;
            }
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: send = keyEvent(e.key, &out); break;
        case SDL_MOUSEMOTION:
            out = {MV_PLATFORM_MOUSE_MOVE, 0, 0, static_cast<float>(e.motion.x), static_cast<float>(e.motion.y),
                   nullptr};
            send = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            MVPlatformEvent move = {MV_PLATFORM_MOUSE_MOVE, 0, 0, static_cast<float>(e.button.x),
                                    static_cast<float>(e.button.y), nullptr};
            if (sink) sink(context, &move);
            out = {e.type == SDL_MOUSEBUTTONDOWN ? MV_PLATFORM_MOUSE_DOWN : MV_PLATFORM_MOUSE_UP, 0,
                   buttonFromSdl(e.button.button), 0.0f, 0.0f, nullptr};
            send = out.button != 0;
            break;
        }
        case SDL_MOUSEWHEEL: {
#if SDL_VERSION_ATLEAST(2, 0, 18)
            float steps = e.wheel.preciseY;
#else
            float steps = static_cast<float>(e.wheel.y);
#endif
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
            out = {MV_PLATFORM_WHEEL, 0, 0, 0.0f, steps, nullptr};
            send = true;
            break;
        }
        case SDL_TEXTINPUT:
            out = {MV_PLATFORM_TEXT, 0, 0, 0.0f, 0.0f, e.text.text};
            send = true;
            break;
        default: break;
        }
        if (send && sink) sink(context, &out);
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

void windowSetResizable(void *window, bool resizable) {
    SDL_SetWindowResizable(static_cast<Window *>(window)->window, resizable ? SDL_TRUE : SDL_FALSE);
}

bool windowSetFullscreen(void *window, bool fullscreen) {
    if (SDL_SetWindowFullscreen(static_cast<Window *>(window)->window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
        return true;
    setFailure(fullscreen ? "no full screen" : "cannot leave full screen");
    return false;
}

// Only OpenGL windows can wait for the display; the software frames are
// copied whenever they are ready.
bool windowSetVSync(void *window, bool on) {
    Window *win = static_cast<Window *>(window);
    if (!win->context) return false;
    if (SDL_GL_SetSwapInterval(on ? 1 : 0) == 0)
        win->vsync = on;
    else
        setFailure("the display does not let the swap interval change");
    return win->vsync;
}

void windowGetSize(void *window, int *w, int *h) { drawableSize(static_cast<Window *>(window)->window, w, h); }

const MVPluginPlatform platform = {init,   quit,  windowOpen,   windowClose,        windowSetTitle,
                                   poll,   swap,  blit,         vsync,              keyCharacter,
                                   windowSetResizable, windowSetFullscreen, windowSetVSync, windowGetSize};
const char *error() { return lastFailure; }

const MVPlugin plugin = {MV_PLUGIN_ABI, "SDL", &platform, nullptr, nullptr, error, &sdlAudio, nullptr, nullptr};

}  // namespace

void sdlNoteFailure(const char *what) { setFailure(what); }

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
