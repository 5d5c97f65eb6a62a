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
 * MORVEN_INPUT_SCRIPT=<file> replays input (see <morven/input.h>).
 *
 * Threads: these calls belong to the engine's thread: the thread that called
 * mvInit. Debug builds abort on a call from another thread. */
#ifndef MORVEN_WINDOW_H
#define MORVEN_WINDOW_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Opens the window, width x height pixels; bpp must be 32 (or 0 for the
 * default), flags must be 0. Needs a running engine. False when it is not
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
 * false once the program should end: the window was closed, Escape was
 * pressed (or replayed), a replay reached its quit event, SIGINT or SIGTERM
 * arrived, MORVEN_MAX_FRAMES frames were presented, or there is no window
 * (the one case that is a failure, said in mvGetError).
 * Each call first updates the input state (see <morven/input.h>). A second
 * SIGINT or SIGTERM while the engine runs ends the program with the signal's
 * default action, so a program that does not come back to mvLoop can still
 * be stopped. */
MV_API bool mvLoop(int flags);

/** The window's size in pixels into width and height (either may be null);
 * 0 x 0 without a window. */
MV_API void mvWindowGetSize(int *width, int *height);

/** Seconds between the last two frames (the last two mvLoop calls that
 * returned true); 0 before the second frame. During an input replay, exactly
 * one frame period from the first frame on (see <morven/input.h>). */
MV_API double mvFrameTime(void);

/** Sets the pace of mvLoop in frames per second; 0 leaves frames unpaced,
 * negative values are ignored. Until set, mvLoop runs at 60 frames per
 * second, or as fast as the display refreshes when presenting waits for it.
 * A set rate holds until mvDeinit and may be set before mvInit. */
MV_API void mvLoopSetRate(int framesPerSecond);

MV_EXTERN_C_END

#endif
