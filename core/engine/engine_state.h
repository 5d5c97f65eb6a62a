// The engine's state, shared by the module loader, start-up and shut-down
// (engine.cpp) and the window and main loop (window.cpp).
#ifndef MORVEN_CORE_ENGINE_ENGINE_STATE_H
#define MORVEN_CORE_ENGINE_ENGINE_STATE_H

#include <csignal>
#include <cstdint>

#include "core/engine/plugin.h"

struct Recorder;
struct Replay;

// The pace of mvLoop until mvLoopSetRate changes it, and the frame period
// of a replay whose rate is 0 (unpaced).
constexpr int kDefaultFrameRate = 60;

enum ModuleKind { MODULE_SDL, MODULE_OPENGL, MODULE_IMAGE, MODULE_FONT, MODULE_SOUND, MODULE_COUNT };

struct EngineModule {
    void *handle;  // from dlopen; null: not loaded
    const MVPlugin *plugin;
};

struct EngineState {
    EngineModule modules[MODULE_COUNT];
    bool running;
    bool headlessNoticeGiven;
    const MVPluginPlatform *platform;  // null: headless
    // The window.
    bool windowOpen;
    void *window;  // the platform's; null when headless
    bool gl;       // drawn by the OpenGL module
    bool vsync;    // presenting waits for the display
    int width, height;        // the frame the renderer draws
    int windowW, windowH;     // the window's drawable area
    int logicalW, logicalH;   // mvWindowSetLogicalSize; 0: the frame follows the window
    uint8_t *scaled;          // software frames scaled to the window, when they differ
    char *title;
    MVRenderer *renderer;
    // The main loop.
    int64_t maxFrames;  // -1: no limit
    uint64_t frames;    // presented so far
    uint64_t loopCalls; // mvLoop calls so far: the number of the next frame
    uint64_t lastLoopNs;
    double frameTime;   // seconds, as mvFrameTime reports it
    int rate;           // frames per second; 0: unpaced
    bool rateSet;       // by mvLoopSetRate, rather than the default
    bool quitRequested;
    Replay *replay;     // MORVEN_INPUT_SCRIPT's events; null: none
    Recorder *recorder; // MORVEN_INPUT_RECORD's file; null: none
    // mvGetTime and the timers follow the frames rather than the system
    // clock: replays, headless runs with a frame limit, recordings.
    bool frameClock;
    uint64_t clockFrames;  // frames the frame clock advanced by one period
    bool escapeKeeps;      // mvLoopSetEscapeQuits(false): Escape is input only
    bool closeRequested;   // the close button was pressed this frame
    // MORVEN_SCREENSHOT: where to write, and the last presented frame.
    char *screenshotPath;
    uint8_t *shot;
    bool shotValid;
    // The audio device while the window is open; null: the null device.
    void *audioDevice;
    bool audioWanted;  // a device opens at the first sound
};

EngineState &engineState();

// Set from the SIGINT/SIGTERM handler.
extern volatile sig_atomic_t engineStopSignal;

// Writes "MORVEN: <reason>; running headless" once per engine run.
void engineNoticeHeadless(const char *reason);

// Why the loaded module of that kind last failed, in a few words.
const char *engineModuleError(ModuleKind kind);

// Closes the window and everything drawn in it (renderer, atlas textures).
void engineCloseWindow();

// The window's drawable area is now w x h: the frame follows it unless a
// logical size is set.
void engineWindowResized(int w, int h);

// A replay's resize: the window's own headless; nothing for a real window,
// which reports its size itself.
void engineReplayedResize(int w, int h);

// Monotonic clock in nanoseconds: the system's, whatever mvGetTime follows.
uint64_t engineNow();

// Switches mvGetTime to the frame clock when this run needs it.
void engineChooseClock();

// The loaded "Image" module's functions, or null.
const MVPluginImage *engineImagePlugin();

// The "Font" module's functions, loading the module first when needed; null
// (with the reason in mvGetError) when it cannot be loaded.
const MVPluginFont *engineFontPlugin();

// Fonts alive: while any is, mvDeinit keeps the "Font" module loaded, and
// the last one freed afterwards unloads it.
void engineFontOpened();
void engineFontClosed();

// The loaded "Sound" module's functions, or null.
const MVPluginSoundFiles *engineSoundFilesPlugin();

// The mixer's output while a window is open: a device with a window on a
// display outside a replay, else the null device; MORVEN_AUDIO_CAPTURE.
void engineAudioOpen();
void engineAudioFrame();
void engineAudioClose();

#endif
