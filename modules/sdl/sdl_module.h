// What the files of the "SDL" module share.
#ifndef MORVEN_MODULES_SDL_SDL_MODULE_H
#define MORVEN_MODULES_SDL_SDL_MODULE_H

#include <SDL.h>

#include "core/engine/plugin.h"

// The engine's key (MV_KEY_*) at a scancode's place; 0 for places it lacks.
int keyFromScancode(SDL_Scancode code);

// The character the key types in the current layout without modifiers; 0: none.
uint32_t keyCharacter(int key);

// Gamepads: SDL's game-controller layer, started with the platform.
bool padsInit();
void padsQuit();
// Turns an SDL event into gamepad events for sink; false when it is none of theirs.
bool padEvent(const SDL_Event &event, MVPlatformEventSink sink, void *context);

#endif
