// The window and the main loop: a platform window drawn with OpenGL or by
// the software renderer, or a headless framebuffer.
#include <morven/clock.h>
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
#include "core/engine/recorder.h"
#include "core/engine/replay.h"
#include "core/render/frame_size.h"
#include "core/render/frontend.h"
#include "core/render/soft_renderer.h"
#include "core/base/error.h"
#include "core/base/frame_clock.h"

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

// The platform's events of one frame: applied to the input state and
// written to the recording, if any.
struct LiveEvents {
    uint64_t frame;
    Recorder *recorder;
    bool escape;  // Escape went down
};

void liveSink(void *context, const MVPlatformEvent *event) {
    LiveEvents *live = static_cast<LiveEvents *>(context);
    if (live->recorder) recorderEvent(live->recorder, live->frame, *event);
    if (event->kind == MV_PLATFORM_RESIZE)
        engineWindowResized(static_cast<int>(event->x), static_cast<int>(event->y));
    else if (inputApply(*event))
        live->escape = true;
}

// Where a frame of the logical size lies in the window: as large as fits,
// centred, the rest black.
struct Box {
    int x, y, w, h;
};

Box letterbox(const EngineState &s) {
    int64_t W = s.windowW, H = s.windowH, w = s.width, h = s.height;
    Box b;
    if (W * h <= H * w) {
        b.w = static_cast<int>(W);
        b.h = static_cast<int>(W * h / w);
    } else {
        b.h = static_cast<int>(H);
        b.w = static_cast<int>(H * w / h);
    }
    if (b.w < 1) b.w = 1;
    if (b.h < 1) b.h = 1;
    b.x = (s.windowW - b.w) / 2;
    b.y = (s.windowH - b.h) / 2;
    return b;
}

// Pointer positions in window pixels to frame pixels.
void mapPointer(const EngineState &s) {
    if (!s.logicalW) {
        inputMapPointer(0.0f, 0.0f, 1.0f, 1.0f);
        return;
    }
    Box b = letterbox(s);
    inputMapPointer(static_cast<float>(b.x), static_cast<float>(b.y), static_cast<float>(s.width) / b.w,
                    static_cast<float>(s.height) / b.h);
}

// Scales the software frame into s.scaled, window-sized: each window pixel
// takes the texel under its centre, as GL_NEAREST does.
void scaleFrame(const EngineState &s, const uint8_t *frame) {
    Box b = letterbox(s);
    memset(s.scaled, 0, static_cast<size_t>(s.windowW) * s.windowH * 4);
    for (int y = 0; y < b.h && b.y + y < s.windowH; y++) {
        if (b.y + y < 0) continue;
        int64_t sy = (2 * static_cast<int64_t>(y) + 1) * s.height / (2 * static_cast<int64_t>(b.h));
        const uint8_t *row = frame + 4 * static_cast<size_t>(sy) * s.width;
        uint8_t *out = s.scaled + 4 * (static_cast<size_t>(b.y + y) * s.windowW);
        for (int x = 0; x < b.w && b.x + x < s.windowW; x++) {
            if (b.x + x < 0) continue;
            int64_t sx = (2 * static_cast<int64_t>(x) + 1) * s.width / (2 * static_cast<int64_t>(b.w));
            memcpy(out + 4 * (b.x + x), row + 4 * sx, 4);
        }
    }
}

// The renderer draws w x h from now on; false (nothing changed) when it cannot.
bool setFrameSize(EngineState &s, int w, int h) {
    if (w == s.width && h == s.height) return true;
    uint8_t *shot = nullptr;
    if (s.screenshotPath && !(shot = static_cast<uint8_t *>(calloc(static_cast<size_t>(w) * h, 4)))) {
        setError("out of memory for a %dx%d frame", w, h);
        return false;
    }
    if (s.gl) {
        const MVPluginRenderer *gl = s.modules[MODULE_OPENGL].plugin->renderer;
        if (!gl->resize || !gl->present) {
            free(shot);
            setError("the OpenGL module cannot change its frame's size (an older module)");
            return false;
        }
        frontEnd().submit();
        gl->resize(s.renderer, w, h);
    } else if (frontEnd().submit(), !softRendererResize(s.renderer, w, h)) {
        free(shot);
        setError("out of memory for a %dx%d frame", w, h);
        return false;
    }
    free(s.shot);
    s.shot = shot;
    s.shotValid = false;
    s.width = w;
    s.height = h;
    drawSetFrameSize(w, h);
    return true;
}

// Makes s.scaled fit the window when software frames are scaled to it.
bool prepareScaled(EngineState &s) {
    free(s.scaled);
    s.scaled = nullptr;
    if (!s.window || s.gl || (s.width == s.windowW && s.height == s.windowH)) return true;
    s.scaled = static_cast<uint8_t *>(malloc(static_cast<size_t>(s.windowW) * s.windowH * 4));
    if (!s.scaled) setError("out of memory for a %dx%d window", s.windowW, s.windowH);
    return s.scaled != nullptr;
}


int framesPerSecond(const EngineState &s) { return s.rateSet && s.rate > 0 ? s.rate : kDefaultFrameRate; }

// The length of the n-th frame-clock period in whole nanoseconds; n periods
// add up to n seconds / rate rounded down, so the clock does not drift.
uint64_t periodNs(const EngineState &s, uint64_t n) {
    uint64_t rate = static_cast<uint64_t>(framesPerSecond(s));
    return (n + 1) * 1000000000u / rate - n * 1000000000u / rate;
}

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

void engineWindowResized(int w, int h) {
    EngineState &s = engineState();
    if (!s.windowOpen || w < 1 || h < 1 || w > kSoftMaxSide || h > kSoftMaxSide) return;
    s.windowW = w;
    s.windowH = h;
    if (s.gl && s.logicalW && (w < s.logicalW || h < s.logicalH)) {
        // OpenGL draws the frame inside the window: one larger than it cannot be.
        fprintf(stderr, "MORVEN: the %dx%d window is smaller than the %dx%d logical size; frames follow the window\n",
                w, h, s.logicalW, s.logicalH);
        s.logicalW = s.logicalH = 0;
    }
    if (!s.logicalW && !setFrameSize(s, w, h)) fprintf(stderr, "MORVEN: %s; the frame keeps its size\n", mvGetError());
    if (!prepareScaled(s)) fprintf(stderr, "MORVEN: %s; frames are not shown\n", mvGetError());
    mapPointer(s);
}

void engineReplayedResize(int w, int h) {
    if (!engineState().window) engineWindowResized(w, h);
}

void engineCloseWindow() {
    EngineState &s = engineState();
    if (!s.windowOpen) return;
    engineAudioClose();
    atlasEndDrawing();
    frontEnd().install(nullptr);
    drawSetFrameSize(0, 0);
    atlasDropTextures(s.renderer);
    s.renderer->destroy(s.renderer->self);
    s.renderer = nullptr;
    if (s.window) s.platform->windowClose(s.window);
    s.window = nullptr;
    free(s.scaled);
    s.scaled = nullptr;
    s.logicalW = s.logicalH = 0;
    inputMapPointer(0.0f, 0.0f, 1.0f, 1.0f);
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
        setError("mvWindowOpen: %s", s.running ? "a window is already open" : "the engine is not started");
        return false;
    }
    if ((flags & ~MV_WINDOW_RESIZABLE) != 0) {
        refuseArgument(__func__, "flags", "0 or MV_WINDOW_RESIZABLE", flags);
        return false;
    }
    if (bpp != 0 && bpp != 32) {
        refuseArgument(__func__, "bits per pixel", "32 or 0", bpp);
        return false;
    }
    if (width <= 0 || height <= 0 || width > kSoftMaxSide || height > kSoftMaxSide) {
        setError("mvWindowOpen: unsupported window %dx%d (1 to %d pixels a side)", width, height, kSoftMaxSide);
        return false;
    }
    if (s.screenshotPath && !(s.shot = static_cast<uint8_t *>(calloc(static_cast<size_t>(width) * height, 4)))) {
        setError("mvWindowOpen: out of memory");
        return false;
    }
    s.window = nullptr;
    s.renderer = nullptr;
    if (s.platform && !openPlatformWindow(s, width, height)) {
        // The display refused a window: carry on without it.
        setError("the display opened no %dx%d window (%s)", width, height, engineModuleError(MODULE_SDL));
        s.platform->quit();
        s.platform = nullptr;
        engineNoticeHeadless(mvGetError());
        engineChooseClock();
    }
    if (!s.renderer) {
        s.gl = false;
        s.vsync = false;
        if (!(s.renderer = softRenderer(width, height))) {
            setError("mvWindowOpen: out of memory");
            free(s.shot);
            s.shot = nullptr;
            return false;
        }
    }
    s.width = s.windowW = width;
    s.height = s.windowH = height;
    s.logicalW = s.logicalH = 0;
    s.scaled = nullptr;
    if (s.window && (flags & MV_WINDOW_RESIZABLE) && s.platform->windowSetResizable)
        s.platform->windowSetResizable(s.window, true);
    s.shotValid = false;
    s.windowOpen = true;
    frontEnd().install(s.renderer);
    drawSetFrameSize(width, height);
    // A display may give another size than asked (a tiling window manager,
    // a screen too small): the frame follows what the window got.
    int gotW = width, gotH = height;
    if (s.window && s.platform->windowGetSize) s.platform->windowGetSize(s.window, &gotW, &gotH);
    if (gotW != width || gotH != height) engineWindowResized(gotW, gotH);
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
    atlasEndDrawing();    // the frame is the target again
    frontEnd().submit();  // a primitive still open is drawn into this frame
    atlasCollectDestroyed(s.renderer);
    if (s.shot) s.shotValid = s.renderer->readPixels(s.renderer->self, s.shot, s.width, s.height);
    if (s.window) {
        if (s.gl) {
            const MVPluginRenderer *gl = s.modules[MODULE_OPENGL].plugin->renderer;
            if (s.width != s.windowW || s.height != s.windowH) {
                Box b = letterbox(s);
                gl->present(s.renderer, s.windowW, s.windowH, b.x, b.y, b.w, b.h);
            }
            s.platform->swap(s.window);
        } else if (s.scaled) {
            scaleFrame(s, softRendererPixels(s.renderer));
            s.platform->blit(s.window, s.scaled, s.windowW, s.windowH);
        } else if (s.width == s.windowW && s.height == s.windowH) {
            s.platform->blit(s.window, softRendererPixels(s.renderer), s.width, s.height);
        }
    }
    s.frames++;
}

MV_API bool mvLoop(int flags) {
    engineThreadCheck(__func__);
    static int flagsWarned;
    if (flags != 0) ignoreArgument(&flagsWarned, __func__, "flags", "0", flags);
    EngineState &s = engineState();
    if (!s.windowOpen) {
        setError("mvLoop: %s", s.running ? "no window is open" : "the engine is not started");
        return false;
    }
    if (s.quitRequested) return false;
    uint64_t frame = s.loopCalls++;
    if (frame > 0) engineAudioFrame();  // the sound of the frame just made
    inputBeginFrame();
    s.closeRequested = false;
    ReplayFrame asked = {};
    if (s.replay) replayApply(s.replay, frame, &asked);
    LiveEvents live = {frame, s.recorder, false};
    bool closed = false;
    if (s.window && (s.platform->poll(s.window, liveSink, &live) & MV_PLATFORM_QUIT)) {
        closed = true;
        if (s.recorder) recorderWord(s.recorder, frame, "close");
    }
    if (engineStopSignal && s.recorder) recorderWord(s.recorder, frame, "quit");
    closed = closed || asked.close;
    bool quit = asked.quit || engineStopSignal || (!s.escapeKeeps && (closed || asked.escape || live.escape));
    if (quit) {
        s.quitRequested = true;
        return false;
    }
    s.closeRequested = closed;
    if (s.maxFrames >= 0 && s.frames >= static_cast<uint64_t>(s.maxFrames)) return false;
    // Frames counted by the frame clock are not paced, except in a recording,
    // whose frame times are real ones.
    bool counted = s.replay || (s.frameClock && !s.recorder);
    uint64_t now = engineNow();
    uint64_t period = counted ? 0 : pacePeriod(s);
    if (s.lastLoopNs && period && now < s.lastLoopNs + period) {
        sleepNs(s.lastLoopNs + period - now);
        now = s.lastLoopNs + period;
    }
    uint64_t ns;
    if (asked.timed) {
        ns = asked.frameNs;
        s.frameTime = static_cast<double>(ns) / 1e9;
    } else if (counted) {
        ns = periodNs(s, s.clockFrames++);
        s.frameTime = 1.0 / framesPerSecond(s);
    } else {
        ns = s.lastLoopNs ? now - s.lastLoopNs : 0;
        s.frameTime = static_cast<double>(ns) / 1e9;
    }
    if (s.frameClock) frameClockAdvance(ns);
    if (s.recorder) recorderFrameTime(s.recorder, frame, ns);
    s.lastLoopNs = now;
    return true;
}

MV_API void mvLoopSetEscapeQuits(bool quits) {
    engineThreadCheck(__func__);
    engineState().escapeKeeps = !quits;
}

MV_API bool mvWindowCloseRequested(void) {
    engineThreadCheck(__func__);
    return engineState().closeRequested;
}

MV_API const char *mvWindowRenderer(void) {
    engineThreadCheck(__func__);
    const EngineState &s = engineState();
    if (!s.windowOpen) return nullptr;
    return s.gl ? "OpenGL" : "software";
}

MV_API void mvWindowGetSize(int *width, int *height) {
    const EngineState &s = engineState();
    if (width) *width = s.windowOpen ? s.windowW : 0;
    if (height) *height = s.windowOpen ? s.windowH : 0;
}

MV_API bool mvWindowSetLogicalSize(int width, int height) {
    engineThreadCheck(__func__);
    EngineState &s = engineState();
    if (!s.windowOpen) {
        setError("mvWindowSetLogicalSize: no window");
        return false;
    }
    bool off = width == 0 && height == 0;
    if (!off && (width < 1 || height < 1 || width > kSoftMaxSide || height > kSoftMaxSide)) {
        setError("mvWindowSetLogicalSize: %dx%d is no size", width, height);
        return false;
    }
    if (s.gl && !off && (width > s.windowW || height > s.windowH)) {
        setError("mvWindowSetLogicalSize: with OpenGL the %dx%d frame must fit the %dx%d window", width, height,
                       s.windowW, s.windowH);
        return false;
    }
    if (!setFrameSize(s, off ? s.windowW : width, off ? s.windowH : height)) return false;
    s.logicalW = off ? 0 : width;
    s.logicalH = off ? 0 : height;
    if (!prepareScaled(s)) {
        setFrameSize(s, s.windowW, s.windowH);
        s.logicalW = s.logicalH = 0;
        prepareScaled(s);
        mapPointer(s);
        return false;
    }
    mapPointer(s);
    return true;
}

MV_API void mvWindowGetLogicalSize(int *width, int *height) {
    const EngineState &s = engineState();
    if (width) *width = s.windowOpen ? s.width : 0;
    if (height) *height = s.windowOpen ? s.height : 0;
}

MV_API bool mvWindowSetFullscreen(bool fullscreen) {
    engineThreadCheck(__func__);
    EngineState &s = engineState();
    if (!s.window || !s.platform->windowSetFullscreen) {
        setError("mvWindowSetFullscreen: %s", !s.windowOpen ? "no window" : s.window ? "the SDL module cannot" : "headless");
        return false;
    }
    if (s.platform->windowSetFullscreen(s.window, fullscreen)) return true;
    setError("mvWindowSetFullscreen: %s", engineModuleError(MODULE_SDL));
    return false;
}

MV_API bool mvWindowSetVSync(bool on) {
    engineThreadCheck(__func__);
    EngineState &s = engineState();
    if (!s.window || !s.platform->windowSetVSync) {
        setError("mvWindowSetVSync: %s", !s.windowOpen ? "no window" : s.window ? "the SDL module cannot" : "headless");
        return false;
    }
    s.vsync = s.platform->windowSetVSync(s.window, on);
    if (s.vsync != on) setError("mvWindowSetVSync: %s", s.gl ? engineModuleError(MODULE_SDL) : "software frames do not wait for the display");
    return s.vsync;
}

MV_API double mvFrameTime(void) { return engineState().frameTime; }

MV_API void mvLoopSetRate(int framesPerSecond) {
    if (framesPerSecond < 0) return;
    EngineState &s = engineState();
    s.rate = framesPerSecond;
    s.rateSet = true;
}

}
