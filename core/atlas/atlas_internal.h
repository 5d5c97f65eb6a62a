// What the engine needs of the atlases it does not own.
#ifndef MORVEN_CORE_ATLAS_ATLAS_INTERNAL_H
#define MORVEN_CORE_ATLAS_ATLAS_INTERNAL_H

#include <morven/atlas.h>

#include "core/render/renderer.h"

// Destroys, in renderer r, the textures of all live atlases that made
// theirs there; they make a new one when drawn again. Called before r goes.
void atlasDropTextures(MVRenderer *r);

// Ends the drawing into an atlas area still open, keeping what was drawn,
// as mvAtlasEndDraw does. Called before a frame is shown and before the
// renderer goes.
void atlasEndDrawing();

// Drops, in renderer r, the textures of atlases that other threads have
// destroyed since. Called on the drawing thread once a frame.
void atlasCollectDestroyed(MVRenderer *r);

// Draws count sprites from the atlas' texture in one call, through the
// current transform (each sprite is changed by it); their source rectangles
// must lie inside the atlas. Engine thread.
void atlasDrawSprites(MVAtlas *atlas, MVSprite *sprites, size_t count);

#endif
