/* MORVEN: engine start-up, shut-down and run-time modules.
 *
 * Modules are plugins loaded by name before mvInit: "SDL" (windows and
 * events), "OpenGL" (hardware drawing) and "STB-Image" (image files). Without
 * them the engine still runs: headless, drawing into its own software
 * framebuffer. Plugins are searched in the directories of MORVEN_MODULE_PATH
 * (separated by ':'), then beside libMORVEN.so, then in the installed module
 * directory. */
#ifndef MORVEN_ENGINE_H
#define MORVEN_ENGINE_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Loads the named module. True when it is loaded (now or before); an unknown
 * name, null or a plugin that cannot be found or opened gives false and
 * changes nothing. */
MV_API bool mvLoadModule(const char *name);

/** Starts the engine with the loaded modules; flags must be 0. Reads the
 * environment variables MORVEN_MAX_FRAMES, MORVEN_SCREENSHOT and
 * MORVEN_INPUT_SCRIPT. True when the engine runs (also when it already did);
 * false, with the reason in mvGetError, when the input script cannot be read. */
MV_API bool mvInit(int flags);

/** Stops the engine: writes the screenshot asked for by MORVEN_SCREENSHOT,
 * then releases the window, renderer resources (atlas textures included),
 * timers and modules. Timers and modules are released even when the engine
 * was never started; the rest only when it runs. */
MV_API void mvDeinit(void);

MV_EXTERN_C_END

#endif
