// Sprites on the software renderer's frame. A sprite is prepared once, then
// drawn band by band: each band is a run of the frame's rows that one thread
// writes, and drawing every band gives the very pixels of drawing the frame
// in one go, whatever the bands.
#ifndef MORVEN_CORE_RENDER_SOFT_SPRITES_H
#define MORVEN_CORE_RENDER_SOFT_SPRITES_H

#include <cstddef>
#include <cstdint>

#include "core/render/renderer.h"

// A sprite ready to draw: its corners, its source rectangle and its colour
// (each in 0..1), and the pixels of the frame it may touch.
struct SoftSprite {
    float x[4], y[4];  // spriteCorners
    int sx, sy, sw, sh;
    float color[4];
    const uint8_t *tint;  // softTintTable of color, or null; unused when white
    int left, right, top, bottom;  // columns and rows, inclusive
};

// The bytes a tinted sprite takes from each texel byte: table[256 * k + i]
// is component k of the colour times i / 255, to the nearest byte; then
// table[kTintAlphaKept] is 1 when alpha bytes stay as they are. Worth making
// for a colour that many pixels share.
constexpr int kTintAlphaKept = 1024;
constexpr int kTintTableBytes = 1025;
void softTintTable(const float color[4], uint8_t table[kTintTableBytes]);

// An RGBA8 image, top row first.
struct SoftImage {
    const uint8_t *pixels;
    int w, h;
};

// Where sprites are drawn: a w x h RGBA8 frame, of which only the rows
// top..bottom are written, working space for at least w column indices, and
// the blend mode (MVBlend).
struct SoftBand {
    uint8_t *frame;
    int w, h;
    int top, bottom;
    int *columns;
    uint32_t mode;
};

// Works out what drawing sp from an image of imageW x imageH with the colour
// (each component in 0..1) does on a frameW x frameH frame, with no tint table; false when it leaves
// every pixel alone (a source rectangle outside the image, corners that
// are not finite or far off the frame, a sprite off the frame).
bool softSpritePrepare(const MVSprite &sp, int imageW, int imageH, const float color[4], int frameW, int frameH,
                       SoftSprite *out);

// Draws the rows of a prepared sprite that lie in the band. Where the
// processor has AVX2 this is done eight pixels at a time, with the same
// arithmetic and the same pixels.
void softSpriteDraw(const SoftBand &band, const SoftImage &image, const SoftSprite &sprite);

#if defined(MORVEN_HAVE_AVX2_SPRITES)
// The same code built for AVX2 (soft_sprites_avx2.cpp), and whether it is
// used: where the processor has AVX2, unless turned off (for tests of the
// other path). Set before any drawing.
void softSpriteDrawAvx2(const SoftBand &band, const SoftImage &image, const SoftSprite &sprite);
bool softSpritesAvx2();
void softSpritesUseAvx2(bool use);
#endif

#endif
