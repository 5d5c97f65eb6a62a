// The SDL module's audio device, and what it shares with the module's
// platform part (sdl.cpp).
#ifndef MORVEN_MODULES_SDL_AUDIO_H
#define MORVEN_MODULES_SDL_AUDIO_H

#include "core/engine/plugin.h"

extern const MVPluginAudio sdlAudio;

// Notes "what: SDL's reason" as the module's last failure.
void sdlNoteFailure(const char *what);

#endif
