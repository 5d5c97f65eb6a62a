// The renderer record: every drawing call of the engine goes through one.
// Backends (the embedded software renderer, the OpenGL module, the test
// recorder) fill in the function pointers; `self` is their state.
#ifndef MORVEN_CORE_RENDERER_H
#define MORVEN_CORE_RENDERER_H

#include <cstdint>

struct MVRenderer {
    void *self;
    void (*begin)(void *self, int mode);
    void (*vertex)(void *self, float x, float y);
    void (*color)(void *self, float r, float g, float b, float a);
    void (*end)(void *self);
    void (*clear)(void *self);
    // Textures are RGBA8 images known by a non-zero id.
    uint32_t (*textureCreate)(void *self, int w, int h);
    void (*textureUpdate)(void *self, uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba);
    void (*textureDestroy)(void *self, uint32_t tex);
    // Draws the whole texture as a quad at (x, y), w by h pixels, modulated by the current colour.
    void (*textureDraw)(void *self, uint32_t tex, float x, float y, float w, float h);
    // Copies the frame drawn so far into rgba (w * h * 4 bytes, top row first).
    // False when the renderer has no pixels to give or the size differs.
    bool (*readPixels)(void *self, uint8_t *rgba, int w, int h);
    // Releases the renderer with its textures; the record is invalid afterwards.
    void (*destroy)(void *self);
    // Sets the colour clear fills the frame with (opaque; components 0..1).
    void (*clearColor)(void *self, float r, float g, float b);
};

// The renderer the drawing calls use; never null (a do-nothing one by default).
MVRenderer *mvCoreRenderer();
// Installs r (null restores the do-nothing renderer) and hands it the clear
// colour. Returns the previous one.
MVRenderer *mvCoreSetRenderer(MVRenderer *r);
// Back to the black clear colour, for a new engine run.
void mvCoreResetClearColor();

#endif
