// What the engine needs of the atlases it does not own.
#ifndef MORVEN_CORE_ATLAS_ATLAS_INTERNAL_H
#define MORVEN_CORE_ATLAS_ATLAS_INTERNAL_H

#include "core/render/renderer.h"

// Destroys, in renderer r, the textures of all live atlases that made
// theirs there; they make a new one when drawn again. Called before r goes.
void atlasDropTextures(MVRenderer *r);

// Drops, in renderer r, the textures of atlases that other threads have
// destroyed since. Called on the drawing thread once a frame.
void atlasCollectDestroyed(MVRenderer *r);

#endif
