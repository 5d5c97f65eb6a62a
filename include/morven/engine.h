/* MORVEN: engine start-up, shut-down and run-time modules.
 *
 * Modules are plugins loaded by name before mvInit: "SDL" (windows and
 * events), "OpenGL" (hardware drawing) and "STB-Image" (image files). Without
 * them the engine still runs: headless, drawing into its own software
 * framebuffer, and says why on standard error in one line ("MORVEN: no
 * display; running headless", or the module that is missing).
 *
 * Plugins are searched in the directories of MORVEN_MODULE_PATH (separated
 * by ':'), then in morven/modules under the directory that holds
 * libMORVEN.so (where an install puts them, so a moved install keeps
 * working), then in that directory itself (the build tree), then in the
 * module directory compiled into the library. Only absolute directories are
 * searched: the library's own is made absolute when the library is loaded,
 * before the program can change its working directory, and a relative entry
 * of MORVEN_MODULE_PATH is skipped with one warning on standard error. Only
 * regular files are opened; anything else in a module's place (a FIFO, a
 * device) is refused with a reason.
 *
 * Threads: the thread that calls mvInit becomes the engine's thread; the
 * engine, window, drawing, input, timer and image-loading calls belong to it
 * until mvDeinit (and the caller's timers until they are destroyed). Load the
 * modules on that thread too. The other modules may be used on any thread.
 * Debug builds abort on an engine call from another thread.
 *
 * fork: a child of a running headless engine (no window from the "SDL"
 * module) may go on with the drawing, atlas, window and loop calls and with
 * mvDeinit, on the thread that called fork: the software renderer starts its
 * sprite threads anew in the child. The child's mvDeinit writes the
 * MORVEN_SCREENSHOT file too, as the parent's does. With an SDL window open,
 * the display connection and the OpenGL context stay the parent's: the child
 * may call nothing of MORVEN, only exec or _exit. */
#ifndef MORVEN_ENGINE_H
#define MORVEN_ENGINE_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Loads the named module. True when it is loaded (now or before); an unknown
 * name, null or a plugin that cannot be found or opened gives false and
 * changes nothing, and mvGetError then names the module and every directory
 * searched, or the file that was refused and why. Main thread only. */
MV_API bool mvLoadModule(const char *name);

/** Starts the engine with the loaded modules; flags must be 0. Reads the
 * environment variables MORVEN_MAX_FRAMES (mvLoop ends after that many
 * frames; a value that is not a non-negative integer is ignored with a
 * warning on standard error), MORVEN_SCREENSHOT (a PNG file for the last
 * frame) and MORVEN_INPUT_SCRIPT (replayed input). True when the engine runs
 * (also when it already did); false, with the reason in mvGetError, when
 * flags are not 0 or the input script cannot be read. */
MV_API bool mvInit(int flags);

/** Stops the engine: writes the screenshot asked for by MORVEN_SCREENSHOT
 * (when that fails, one line on standard error and mvGetError say why), then
 * releases what the core owns: the window, renderer resources (atlas
 * textures included), the single-shot timers of mvTimerMSingle and the
 * modules. The caller's own objects stay the caller's: timers from
 * mvTimerCreate are stopped but stay valid until mvTimerDestroy, atlases
 * until mvAtlasDestroy. Timers and modules are dealt with even when the
 * engine was never started; the rest only when it runs. */
MV_API void mvDeinit(void);

MV_EXTERN_C_END

#endif
