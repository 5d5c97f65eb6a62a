/* MORVEN: the window and the main loop.
 *
 * One window per engine. With the "SDL" module and a display it is a real
 * window (drawn with OpenGL when that module is loaded, otherwise by the
 * software renderer); without a display the engine runs headless and the
 * window is a framebuffer in memory.
 *
 * Environment: MORVEN_MAX_FRAMES=<n> makes mvLoop end once n frames have been
 * presented (0: at its first call). MORVEN_SCREENSHOT=<file.png> writes the
 * last presented frame to that file when the engine shuts down.
 * MORVEN_INPUT_SCRIPT=<file> replays input and MORVEN_INPUT_RECORD=<file>
 * records it (see <morven/input.h>).
 *
 * Clocks: live, mvFrameTime and mvGetTime (<morven/clock.h>), and with it
 * the timers, follow the system's monotonic clock. During a replay, in a
 * headless run with MORVEN_MAX_FRAMES and while recording they follow the
 * frame clock instead: it stands still between mvLoop calls and each mvLoop
 * that returns true moves it on by the frame's length: one frame period
 * (1 / the rate of mvLoopSetRate, 1/60 s by default or when the rate is 0),
 * the length a replay's "frametime" line gives, or, while recording, the
 * measured time since the previous mvLoop (0 for the first). So timers fire
 * on the same frames on every machine, under a debugger or valgrind too.
 * Frames counted by the frame clock are not paced (a recording's are).
 *
 * Threads: these calls belong to the engine's thread: the thread that called
 * mvInit. Builds with MORVEN_THREAD_CHECKS (debug and sanitizer builds) abort
 * on a call from another thread. */
#ifndef MORVEN_WINDOW_H
#define MORVEN_WINDOW_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Flags for mvWindowOpen. */
enum {
    MV_WINDOW_RESIZABLE = 1 /* the user may resize the window */
};

/** Opens the window, width x height pixels; bpp must be 32 (or 0 for the
 * default), flags 0 or MV_WINDOW_RESIZABLE. Needs a running engine. False when it is not
 * running, a window is already open or the size is not positive (mvGetError
 * says which). When the display gives no window the engine carries on
 * headless, returns true and leaves the display's reason in mvGetError. */
MV_API bool mvWindowOpen(int width, int height, int bpp, int flags);

/** Sets the window caption (the engine keeps a copy). Null or no window: nothing. */
MV_API void mvWindowSetTitle(const char *title);

/** Shows the frame drawn so far; a primitive still open is ended and drawn
 * into it first. */
MV_API void mvWindowSwapBuffers(void);

/** Handles pending events and paces the frames; flags must be 0. Returns
 * false once the program should end: the window was closed or Escape was
 * pressed (or replayed; unless mvLoopSetEscapeQuits(false) was called), a
 * replay reached its quit event, SIGINT or SIGTERM arrived, MORVEN_MAX_FRAMES
 * frames were presented, or there is no window (the one case that is a
 * failure, said in mvGetError).
 * Each call first updates the input state (see <morven/input.h>). A second
 * SIGINT or SIGTERM while the engine runs ends the program with the signal's
 * default action, so a program that does not come back to mvLoop can still
 * be stopped. */
MV_API bool mvLoop(int flags);

/** The window's size in pixels into width and height (either may be null);
 * 0 x 0 without a window. After the user resized the window (or a replay's
 * "resize" line did, headless), its new size. */
MV_API void mvWindowGetSize(int *width, int *height);

/** Seconds between the last two frames (the last two mvLoop calls that
 * returned true); 0 before the second frame. On the frame clock (see above),
 * the length by which the last mvLoop moved it on: one frame period from
 * the first frame on, unless a replay's "frametime" line says otherwise. */
MV_API double mvFrameTime(void);

/** Sets the pace of mvLoop in frames per second; 0 leaves frames unpaced,
 * negative values are ignored. Until set, mvLoop runs at 60 frames per
 * second, or as fast as the display refreshes when presenting waits for it.
 * A set rate holds until mvDeinit and may be set before mvInit. */
MV_API void mvLoopSetRate(int framesPerSecond);

/** Draws every frame at width x height pixels, whatever the window's size,
 * and shows it scaled to the window as large as it fits, centred, the rest
 * black; each window pixel shows the frame pixel under its centre, so at a
 * whole-number scale both renderers give the same pixels. Drawing
 * coordinates, the screenshot and mvInputMouse are in frame pixels from
 * then on (the pointer outside the frame reads below 0 or beyond the size).
 * 0 x 0 goes back to frames of the window's size. With OpenGL the frame
 * must fit in the window; when the window is later made smaller than the
 * frame, frames follow the window's size again (with a line on stderr). False, with the reason in mvGetError, without a
 * window, for a size outside 1..16384 or when memory runs out; the frame is
 * then as before. Until the window closes. */
MV_API bool mvWindowSetLogicalSize(int width, int height);

/** The size frames are drawn at: the logical size when one is set,
 * otherwise the window's; 0 x 0 without a window. Either may be null. */
MV_API void mvWindowGetLogicalSize(int *width, int *height);

/** Shows the window on the whole screen (at the desktop's resolution; the
 * new size arrives as a resize) or back in its frame. False, with the
 * reason in mvGetError, headless or when the display refuses. */
MV_API bool mvWindowSetFullscreen(bool fullscreen);

/** Asks presenting to wait for the display's refresh (on) or not. Returns
 * whether it now waits; only OpenGL windows can, so headless and software
 * windows give false (with the reason in mvGetError when on was asked).
 * Without a rate from mvLoopSetRate, a waiting display paces the frames. */
MV_API bool mvWindowSetVSync(bool on);

/** Whether Escape and the window's close button end mvLoop: true (the
 * default) makes them end it; false makes Escape a key like any other and
 * reports the close button through mvWindowCloseRequested instead. Holds
 * until mvDeinit and may be set before mvInit. */
MV_API void mvLoopSetEscapeQuits(bool quits);

/** True when the window's close button (or a replayed "close" line) was
 * pressed since the previous mvLoop and did not end the loop, because
 * mvLoopSetEscapeQuits(false) was called. */
MV_API bool mvWindowCloseRequested(void);

/** The name of the renderer that draws the open window: "OpenGL" or
 * "software". Null without a window. The string is static. */
MV_API const char *mvWindowRenderer(void);

MV_EXTERN_C_END

#endif
