// The window and the main loop: a platform window drawn with OpenGL or by
// the software renderer, or a headless framebuffer.
#include <morven/error.h>
#include <morven/window.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/atlas/atlas_internal.h"
#include "core/platform/engine_state.h"
#include "core/render/soft_renderer.h"
#include "core/system/error.h"

namespace {

// Frame period used when presenting does not wait for the display, and the
// shortest one allowed when it should (in case the wait does not happen).
constexpr uint64_t kFrameNs = 1000000000u / 60;
constexpr uint64_t kShortestFrameNs = 1000000000u / 250;

void sleepNs(uint64_t ns) {
    struct timespec ts = {static_cast<time_t>(ns / 1000000000u), static_cast<long>(ns % 1000000000u)};
    nanosleep(&ts, nullptr);  // a signal cuts it short; the loop sees the signal next
}

// Opens a platform window with a renderer for it; false leaves none open.
bool openPlatformWindow(EngineState &s, int w, int h) {
    const MVPlugin *gl = s.modules[MODULE_OPENGL].plugin;
    if (gl && gl->renderer) {
        s.window = s.platform->windowOpen(w, h, true);
        if (s.window && (s.renderer = gl->renderer->create(w, h))) {
            s.gl = true;
            s.vsync = s.platform->vsync(s.window);
            return true;
        }
        if (s.window) s.platform->windowClose(s.window);
    }
    s.window = s.platform->windowOpen(w, h, false);
    if (!s.window) return false;
    if (!(s.renderer = softRendererCreate(w, h))) {
        s.platform->windowClose(s.window);
        s.window = nullptr;
        return false;
    }
    s.gl = false;
    s.vsync = false;
    return true;
}

}  // namespace

void engineCloseWindow() {
    EngineState &s = engineState();
    if (!s.windowOpen) return;
    mvCoreSetRenderer(nullptr);
    atlasDropTextures(s.renderer);
    s.renderer->destroy(s.renderer->self);
    s.renderer = nullptr;
    if (s.window) s.platform->windowClose(s.window);
    s.window = nullptr;
    free(s.title);
    s.title = nullptr;
    free(s.shot);
    s.shot = nullptr;
    s.shotValid = false;
    s.windowOpen = false;
}

extern "C" {

MV_API bool mvWindowOpen(int width, int height, int bpp, int flags) {
    EngineState &s = engineState();
    if (!s.running || s.windowOpen) {
        mvCoreSetError("mvWindowOpen: %s", s.running ? "a window is already open" : "the engine is not started");
        return false;
    }
    if (flags != 0 || (bpp != 0 && bpp != 32) || width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        mvCoreSetError("mvWindowOpen: unsupported window %dx%d, %d bits per pixel, flags %d", width, height, bpp,
                       flags);
        return false;
    }
    if (s.screenshotPath && !(s.shot = static_cast<uint8_t *>(malloc(static_cast<size_t>(width) * height * 4)))) {
        mvCoreSetError("mvWindowOpen: out of memory");
        return false;
    }
    s.window = nullptr;
    s.renderer = nullptr;
    if (s.platform && !openPlatformWindow(s, width, height)) {
        // The display refused a window: carry on without it.
        mvCoreSetError("the display opened no %dx%d window (%s)", width, height, engineModuleError(MODULE_SDL));
        s.platform->quit();
        s.platform = nullptr;
        engineNoticeHeadless(mvGetError());
    }
    if (!s.renderer) {
        s.gl = false;
        s.vsync = false;
        if (!(s.renderer = softRendererCreate(width, height))) {
            mvCoreSetError("mvWindowOpen: out of memory");
            free(s.shot);
            s.shot = nullptr;
            return false;
        }
    }
    s.width = width;
    s.height = height;
    s.shotValid = false;
    s.windowOpen = true;
    mvCoreSetRenderer(s.renderer);
    s.renderer->clear(s.renderer->self);
    return true;
}

MV_API void mvWindowSetTitle(const char *title) {
    EngineState &s = engineState();
    if (!title || !s.windowOpen) return;
    size_t n = strlen(title) + 1;
    char *copy = static_cast<char *>(malloc(n));
    if (!copy) return;
    memcpy(copy, title, n);
    free(s.title);
    s.title = copy;
    if (s.window) s.platform->windowSetTitle(s.window, s.title);
}

MV_API void mvWindowSwapBuffers(void) {
    EngineState &s = engineState();
    if (!s.windowOpen) return;
    if (s.shot) s.shotValid = s.renderer->readPixels(s.renderer->self, s.shot, s.width, s.height);
    if (s.window) {
        if (s.gl)
            s.platform->swap(s.window);
        else
            s.platform->blit(s.window, softRendererPixels(s.renderer), s.width, s.height);
    }
    s.frames++;
}

MV_API bool mvLoop(int flags) {
    (void)flags;
    EngineState &s = engineState();
    if (!s.windowOpen || s.quitRequested) return false;
    if (engineStopSignal) {
        s.quitRequested = true;
        return false;
    }
    if (s.window && (s.platform->poll(s.window) & MV_PLATFORM_QUIT)) {
        s.quitRequested = true;
        return false;
    }
    if (s.maxFrames >= 0 && s.frames >= static_cast<uint64_t>(s.maxFrames)) return false;
    uint64_t now = engineNow();
    uint64_t due = s.lastLoopNs + (s.vsync ? kShortestFrameNs : kFrameNs);
    if (s.lastLoopNs && now < due) {
        sleepNs(due - now);
        now = due;
    }
    s.lastLoopNs = now;
    return true;
}

}
