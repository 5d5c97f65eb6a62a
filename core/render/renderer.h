// The renderer record: every drawing call of the engine goes through one.
// Backends (the embedded software renderer, the OpenGL module, the test
// recorder) fill in the function pointers; `self` is their state.
#ifndef MORVEN_CORE_RENDER_RENDERER_H
#define MORVEN_CORE_RENDER_RENDERER_H

#include <cmath>
#include <cstddef>
#include <cstdint>

// One sprite: the texels (sx, sy) to (sx + sw, sy + sh) of a texture drawn
// into a w x h rectangle centred at (x, y), turned by angle radians (+x
// towards +y). Sizes are positive, the source lies inside the texture.
struct MVSprite {
    int sx, sy, sw, sh;
    float x, y, w, h;
    float angle;
};
static_assert(sizeof(MVSprite) == 36 && offsetof(MVSprite, x) == 16 && offsetof(MVSprite, angle) == 32,
              "modules built against this header share the layout");

// The sprite's corners in window pixels: top-left, top-right, bottom-right,
// bottom-left of the source image. Both renderers start from these very
// floats; where a GPU snaps them to its sub-pixel grid (whole pixels stay
// whole), a pixel centre within that snap of an edge may fall either way.
inline void spriteCorners(const MVSprite &s, float cx[4], float cy[4]) {
    float c = static_cast<float>(std::cos(static_cast<double>(s.angle)));
    float sn = static_cast<float>(std::sin(static_cast<double>(s.angle)));
    float hw = s.w * 0.5f, hh = s.h * 0.5f;
    float ux = c * hw, uy = sn * hw;   // centre to the middle of the right side
    float vx = -sn * hh, vy = c * hh;  // centre to the middle of the bottom side
    cx[0] = s.x - ux - vx, cy[0] = s.y - uy - vy;
    cx[1] = s.x + ux - vx, cy[1] = s.y + uy - vy;
    cx[2] = s.x + ux + vx, cy[2] = s.y + uy + vy;
    cx[3] = s.x - ux + vx, cy[3] = s.y - uy + vy;
}

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
    // Draws count sprites from texture tex, each texel multiplied by the
    // current colour and blended "source over". A pixel is covered when its
    // centre lies inside the sprite's quad (spriteCorners; centres exactly on
    // an edge by the top-left rule of triangles); it takes the texel holding
    // the centre mapped back into the source rectangle (rounded down, clamped
    // to the rectangle). A renderer may hold sprites back until flush or its
    // next other call.
    void (*spriteDraw)(void *self, uint32_t tex, const MVSprite *sprites, size_t count);
    // Finishes everything held back, before the frame is read or shown.
    void (*flush)(void *self);
};

// The renderer the drawing calls use; never null (a do-nothing one by default).
MVRenderer *mvCoreRenderer();
// Installs r (null restores the do-nothing renderer) and hands it the clear
// colour. Returns the previous one.
MVRenderer *mvCoreSetRenderer(MVRenderer *r);
// Back to the black clear colour, for a new engine run.
void mvCoreResetClearColor();

#endif
