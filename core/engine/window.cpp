// The window and the main loop: a platform window drawn with OpenGL or by
// the software renderer, or a headless framebuffer.
#include <morven/error.h>
#include <morven/window.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/atlas/atlas_internal.h"
#include "core/engine/engine_state.h"
#include "core/base/engine_thread.h"
#include "core/engine/input_state.h"
#include "core/engine/replay.h"
#include "core/render/frame_size.h"
#include "core/render/frontend.h"
#include "core/render/soft_renderer.h"
#include "core/base/error.h"

namespace {

// When presenting waits for the display and no rate was set, the display
// paces the frames; this is the shortest frame allowed in case the wait does
// not happen.
constexpr uint64_t kShortestFrameNs = 1000000000u / 250;

void sleepNs(uint64_t ns) {
    struct timespec ts = {static_cast<time_t>(ns / 1000000000u), static_cast<long>(ns % 1000000000u)};
    nanosleep(&ts, nullptr);  // a signal cuts it short; the loop sees the signal next
}

// Nanoseconds from one mvLoop to the next; 0: unpaced. A rate set by the
// program is kept by the clock even when the display paces too.
uint64_t pacePeriod(const EngineState &s) {
    if (!s.rateSet) return s.vsync ? kShortestFrameNs : 1000000000u / kDefaultFrameRate;
    return s.rate > 0 ? 1000000000u / static_cast<unsigned>(s.rate) : 0;
}

// Opens a platform window with a renderer for it; false leaves none open.
// The software renderer, with as many sprite-drawing threads as
// MORVEN_THREADS allows: a count from 1 (the engine's thread alone) to
// kSoftMaxThreads;
// anything else is warned about and the renderer keeps its own choice.
MVRenderer *softRenderer(int w, int h) {
    MVRenderer *r = softRendererCreate(w, h);
    const char *text = getenv("MORVEN_THREADS");
    if (!r || !text || !*text) return r;
    char *end = nullptr;
    errno = 0;
    long n = strtol(text, &end, 10);
    if (errno || *end || n < 1 || n > long(kSoftMaxThreads) || !(*text >= '0' && *text <= '9'))
        fprintf(stderr, "MORVEN: MORVEN_THREADS=\"%s\" is not a count from 1 to %u; ignored\n", text, kSoftMaxThreads);
    else
        softRendererSetThreads(r, static_cast<unsigned>(n));
    return r;
}

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
    if (!(s.renderer = softRenderer(w, h))) {
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
    engineAudioClose();
    frontEnd().install(nullptr);
    drawSetFrameSize(0, 0);
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
    engineThreadCheck(__func__);
    EngineState &s = engineState();
    if (!s.running || s.windowOpen) {
        mvCoreSetError("mvWindowOpen: %s", s.running ? "a window is already open" : "the engine is not started");
        return false;
    }
    if (flags != 0) {
        refuseArgument(__func__, "flags", "0", flags);
        return false;
    }
    if (bpp != 0 && bpp != 32) {
        refuseArgument(__func__, "bits per pixel", "32 or 0", bpp);
        return false;
    }
    if (width <= 0 || height <= 0 || width > kSoftMaxSide || height > kSoftMaxSide) {
        mvCoreSetError("mvWindowOpen: unsupported window %dx%d (1 to %d pixels a side)", width, height, kSoftMaxSide);
        return false;
    }
    if (s.screenshotPath && !(s.shot = static_cast<uint8_t *>(calloc(static_cast<size_t>(width) * height, 4)))) {
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
        if (!(s.renderer = softRenderer(width, height))) {
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
    frontEnd().install(s.renderer);
    drawSetFrameSize(width, height);
    frontEnd().clear();  // in the clear colour set before the window opened
    engineAudioOpen();
    return true;
}

MV_API void mvWindowSetTitle(const char *title) {
    engineThreadCheck(__func__);
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
    engineThreadCheck(__func__);
    EngineState &s = engineState();
    if (!s.windowOpen) return;
    frontEnd().submit();  // a primitive still open is drawn into this frame
    atlasCollectDestroyed(s.renderer);
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
    engineThreadCheck(__func__);
    static int flagsWarned;
    if (flags != 0) ignoreArgument(&flagsWarned, __func__, "flags", "0", flags);
    EngineState &s = engineState();
    if (!s.windowOpen) {
        mvCoreSetError("mvLoop: %s", s.running ? "no window is open" : "the engine is not started");
        return false;
    }
    if (s.quitRequested) return false;
    uint64_t frame = s.loopCalls++;
    if (frame > 0) engineAudioFrame();  // the sound of the frame just made
    inputBeginFrame();
    bool quit = s.replay && replayApply(s.replay, frame);
    if (s.window && (s.platform->poll(s.window, inputSink, &quit) & MV_PLATFORM_QUIT)) quit = true;
    if (quit || engineStopSignal) {
        s.quitRequested = true;
        return false;
    }
    if (s.maxFrames >= 0 && s.frames >= static_cast<uint64_t>(s.maxFrames)) return false;
    uint64_t now = engineNow();
    uint64_t period = s.replay ? 0 : pacePeriod(s);
    if (s.lastLoopNs && period && now < s.lastLoopNs + period) {
        sleepNs(s.lastLoopNs + period - now);
        now = s.lastLoopNs + period;
    }
    if (s.replay)
        s.frameTime = 1.0 / (s.rateSet && s.rate > 0 ? s.rate : kDefaultFrameRate);
    else
        s.frameTime = s.lastLoopNs ? static_cast<double>(now - s.lastLoopNs) / 1e9 : 0.0;
    s.lastLoopNs = now;
    return true;
}

MV_API void mvWindowGetSize(int *width, int *height) {
    const EngineState &s = engineState();
    if (width) *width = s.windowOpen ? s.width : 0;
    if (height) *height = s.windowOpen ? s.height : 0;
}

MV_API double mvFrameTime(void) { return engineState().frameTime; }

MV_API void mvLoopSetRate(int framesPerSecond) {
    if (framesPerSecond < 0) return;
    EngineState &s = engineState();
    s.rate = framesPerSecond;
    s.rateSet = true;
}

}
