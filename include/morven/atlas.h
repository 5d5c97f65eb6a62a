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
 * Drawing (mvAtlasDrawDBG, mvAtlasDrawArea, mvAtlasBeginDraw and
 * mvAtlasEndDraw) belongs to the engine's thread,
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

/** Draws into an area: the drawing calls that follow (shapes, text, trails,
 * sprites from other atlases, TrueType text), up to mvAtlasEndDraw, draw into
 * the area's pixels instead of the frame, by the same pixel rules
 * (<morven/draw.h>), with coordinates counted from the area's top-left
 * corner and nothing drawn outside it. The area keeps what it holds, alpha
 * included; mvDrawClear fills it with the clear colour (opaque), and
 * MV_BLEND_NONE with a transparent colour clears a part of it. The
 * transform becomes the identity (push, scale and pop as usual) and the one
 * in force comes back at mvAtlasEndDraw; the colour, blend mode and line
 * width carry on as they are. Ends a primitive still open.
 *
 * False, with the reason in mvGetError() and nothing changed, when the
 * atlas or area is null, the area is not one of the atlas' own, there is no
 * window (nothing can be drawn), the renderer will not make the atlas'
 * texture, or an area (of any atlas) is being drawn into already: drawing
 * into areas does not nest. While an atlas is being drawn into, drawing
 * from it (mvAtlasDrawArea, mvAtlasDrawDBG) draws nothing and says so in
 * mvGetError(). Engine thread. */
MV_API bool mvAtlasBeginDraw(MVAtlas *atlas, const MVAtlasArea *area);

/** Ends the drawing into an area that mvAtlasBeginDraw began: what was
 * drawn becomes the area's pixels, in the atlas' image as if set with
 * mvAtlasAreaSetData (released with the area, drawn by mvAtlasDrawArea in
 * any renderer), and the drawing calls draw into the frame again. False,
 * with the reason in mvGetError(), when no drawing into an area is open, or
 * when the renderer could not draw into the area (an OpenGL without
 * framebuffer objects): the drawing then ends with the area unchanged.
 * mvWindowSwapBuffers and closing the window end it the same way first.
 * Destroying the atlas, or releasing the area, while it is being drawn into
 * ends the drawing and drops what was drawn; mvAtlasEndDraw then has
 * nothing to end. Engine thread. */
MV_API bool mvAtlasEndDraw(void);

/** Reserves an area the size of the decoded image (with `padding` free
 * pixels around it) and copies the image into it. Null when the image is
 * null or does not fit; the image stays the caller's. */
MV_API MVAtlasArea *mvAtlasAreaFromImage(MVAtlas *atlas, const MVImage *image, int padding);

MV_EXTERN_C_END

#endif
