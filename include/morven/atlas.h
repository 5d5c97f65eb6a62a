/* MORVEN: texture atlas.
 *
 * One RGBA image divided into rectangular areas that are reserved one at a
 * time (packed online, no look-ahead) and released for reuse. The engine
 * uploads the image to the renderer when the atlas is drawn after a change.
 * Every function accepts a null atlas: it then does nothing and returns
 * null or false.
 *
 * Threads: an atlas may be created, filled (reserve, set data, release,
 * occupancy) and destroyed on any thread, with or without mvInit; atlases of
 * different threads need no locking. One atlas is used by one thread at a
 * time: hand it over with the usual synchronisation (a mutex, a join).
 * Drawing (mvAtlasDrawDBG, mvAtlasDrawArea) belongs to the engine's thread,
 * the one that called mvInit. An atlas that has been drawn may still be
 * destroyed on another thread; the engine's thread then drops its texture
 * at the next frame. */
#ifndef MORVEN_ATLAS_H
#define MORVEN_ATLAS_H

#include <morven/defs.h>
#include <morven/image.h>

MV_EXTERN_C_BEGIN

typedef struct MVAtlas MVAtlas;

/** A reserved area: its top-left pixel (x, y) in the atlas, width and height. */
typedef struct MVAtlasArea {
    uint16_t x;
    uint16_t y;
    uint16_t w;
    uint16_t h;
} MVAtlasArea;

/** What mvAtlasDrawDBG draws. */
enum {
    MV_ATLAS_DRAW_IMAGE = 0,  /* the atlas image, tinted by the current colour */
    MV_ATLAS_DRAW_FRAMES = 1  /* a one-pixel frame inside each reserved area */
};

/** A new, fully transparent atlas of width x height pixels (1..65535) at bpp
 * bits per pixel; only 32 (RGBA8) is supported. While a window is open, no
 * side may exceed its renderer's largest texture (16384 for the software
 * renderer; what the driver says for OpenGL). Null, with the reason in
 * mvGetError, for other arguments or when out of memory. An atlas made
 * before the window that exceeds its limit is not drawn; the first draw says
 * so on stderr and in mvGetError. The caller owns it until mvAtlasDestroy. Any thread;
 * memory for rows is committed as they are written. */
MV_API MVAtlas *mvAtlasCreate(int width, int height, int bpp);

/** Releases the atlas, its areas and its texture. Null is ignored. Any
 * thread (see above for an atlas that has been drawn). */
MV_API void mvAtlasDestroy(MVAtlas *atlas);

/** Reserves a w x h area that keeps `padding` pixels free around it on every
 * side (0 = none; the atlas border needs no gap). Returns the area, owned by
 * the atlas and valid until released or the atlas is destroyed, or null when
 * nothing fits or an argument is out of range. Any thread. */
MV_API MVAtlasArea *mvAtlasAreaReserve(MVAtlas *atlas, int64_t w, int64_t h, int64_t padding);

/** Copies the pixels (w x h, rows of RGBA bytes without gaps, bpp 32) into
 * the area; what exceeds the area is cut off. The caller keeps its buffer.
 * False when an argument does not apply (w or h not above 0 among them).
 * Any thread. */
MV_API bool mvAtlasAreaSetData(MVAtlas *atlas, MVAtlasArea *area, int w, int h, int bpp, const void *pixels);

/** Frees the area for reuse; its pixels become transparent and the record
 * invalid. An area not of this atlas, or null, is ignored. Only the free
 * space near the area is worked out again, and only the pixels that were
 * written are cleared. Any thread. */
MV_API void mvAtlasAreaRelease(MVAtlas *atlas, MVAtlasArea *area);

/** Fraction (0..1) of the atlas' pixels covered by reserved areas. Any thread. */
MV_API double mvAtlasOccupancy(const MVAtlas *atlas);

/** Draws the atlas with its top-left corner at (x, y) in the current colour,
 * through the current transform;
 * flags must be 0, what is MV_ATLAS_DRAW_IMAGE or MV_ATLAS_DRAW_FRAMES.
 * Engine thread. */
MV_API void mvAtlasDrawDBG(MVAtlas *atlas, float x, float y, int flags, int what);

/** Draws the area's pixels into a |w| x |h| rectangle centred at (x, y),
 * turned by `angle` radians (positive turns +x towards +y), multiplied by
 * the current colour and alpha-blended, with nearest-texel sampling (which
 * texel a pixel takes is written in <morven/draw.h>). A negative w mirrors
 * the sprite left to right (the area's first column lands on the right), a
 * negative h top to bottom; both is a half turn. The current transform
 * (<morven/draw.h>) applies. A w or h of 0, null atlas or area, or no
 * window: nothing. Engine thread. */
MV_API void mvAtlasDrawArea(MVAtlas *atlas, const MVAtlasArea *area, float x, float y,
                            float w, float h, float angle);

/** Reserves an area the size of the decoded image (with `padding` free
 * pixels around it) and copies the image into it. Null when the image is
 * null or does not fit; the image stays the caller's. */
MV_API MVAtlasArea *mvAtlasAreaFromImage(MVAtlas *atlas, const MVImage *image, int padding);

MV_EXTERN_C_END

#endif
