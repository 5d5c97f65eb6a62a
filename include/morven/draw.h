/* MORVEN: immediate-mode drawing.
 *
 * Coordinates are window pixels, origin at the top left, y pointing down;
 * pixel (i, j) covers [i, i+1) x [j, j+1) and its centre is (i+0.5, j+0.5).
 * Colour components run from 0 to 1. Calls go to the engine's current
 * renderer; before mvInit, and without a window, they draw nothing.
 *
 * Pixel rules. Every renderer (the software one and the OpenGL module)
 * follows them, so both give the same pixels for the cases named here.
 *
 * Colours: a component that is NaN or below 0 counts as 0, one above 1 as 1.
 * Blending is done in 8-bit arithmetic, by the mode that mvDrawBlend sets
 * ("source over" until then). The source's colour s (each of red, green,
 * blue) and alpha a are taken to the nearest byte (halves to even); for a
 * sprite or a TrueType letter the source is the texel times the current
 * colour, in float: texel byte t counts as t times the float nearest 1/255
 * (as OpenGL takes it), times the colour's component, then to the nearest
 * byte. With d and dA the bytes already there, and [x * y] standing for
 * x * y / 255 rounded to the nearest integer (never a tie):
 *   MV_BLEND_ALPHA     new = [s * a] + [d * (255 - a)],
 *                      alpha [a * a] + [dA * (255 - a)];
 *   MV_BLEND_ADD       new = min(255, [s * a] + d),
 *                      alpha min(255, [a * a] + dA);
 *   MV_BLEND_MULTIPLY  new = [s * d], alpha dA (the source's alpha is not used);
 *   MV_BLEND_NONE      new = s, alpha a (the source replaces what is there).
 * So ALPHA with a = 0 and ADD with a = 0 or s = 0 leave a pixel as it was,
 * ALPHA with a = 255 gives s, MULTIPLY by white (s = 255) keeps d and by
 * black gives 0. This is what OpenGL computes on an 8-bit framebuffer, each
 * product of the blend equation rounded on its own. The frame's own alpha
 * is never shown; it matters where an atlas area is drawn into
 * (mvAtlasBeginDraw), whose pixels keep it.
 *
 * Points and lines are drawn with every vertex moved 3/8 pixel right and
 * 5/16 pixel down. (No vertex on a quarter-pixel grid then lies within 1/16
 * pixel of a tie in OpenGL's rules, where renderers may differ.)
 * - A point at (x, y) lights the pixel (floor(x + 3/8), floor(y + 5/16)):
 *   whole numbers and pixel centres both name the pixel they lie in, so
 *   (10, 5) and (10.5, 5.5) light pixel (10, 5).
 * - A line follows OpenGL's "diamond exit" rule on the moved end points: it
 *   lights pixel (i, j) when it passes through the diamond
 *   |x - (i+0.5)| + |y - (j+0.5)| < 1/2 and does not end inside it.
 *   Between whole-number end points it lights one pixel per column (or row,
 *   for a steep line) from its first point up to, not including, its last:
 *   (10, 0) to (10, 20) lights column 10, rows 0 to 19; (0, 7) to (6, 7)
 *   lights row 7, columns 0 to 5; (6, 7) to (0, 7) columns 6 down to 1.
 *   Between pixel centres it lights the pixels after the lower-coordinate
 *   end up to the higher one: (1.5, 2.5) to (6.5, 2.5), either way round,
 *   lights columns 2 to 6 of row 2. A strip or loop lights each pixel of a
 *   shared vertex once. Horizontal and vertical lines come out the same in
 *   every renderer; slanted ones may differ where the line passes exactly
 *   between two pixels, unless their ends differ in colour (below).
 *   A line whose ends differ in colour takes at each pixel it lights the
 *   colour at the pixel centre's place t along its longer axis (t = 0 at
 *   the first moved end, 1 at the last, clamped): first + t * (last - first),
 *   per component, t and the colour in float; then the colour rules above.
 *   The renderers draw such lines alike to the last pixel, so a trail
 *   (<morven/trail.h>), whose alpha rises along it, is the same in all.
 * - Triangles are not moved. A triangle covers the pixels whose centre lies
 *   inside it. A centre exactly on an edge belongs to the triangle when that
 *   edge is a left edge (the triangle lies to its right) or a bottom edge
 *   (horizontal, the triangle above it); so triangles sharing an edge cover
 *   its pixels once, with no gap. This is what OpenGL does in a window;
 *   a quad from (2.5, 2.5) to (10.5, 6.5) covers columns 2 to 9, rows 3 to
 *   6. Colours are interpolated across the triangle. Textured sprites
 *   (mvAtlasDrawArea) and the letters of mvDrawText follow the same rule.
 * - A vertex with a NaN or infinite coordinate drops each point, segment or
 *   triangle it belongs to; the rest of the primitive is drawn. Any finite
 *   coordinate is allowed: primitives are clipped to the window first, so a
 *   primitive costs no more than the pixels it covers on screen.
 * - Scaled sprites: a covered pixel's centre is mapped back into the
 *   source rectangle, giving a texel position u across and v down (in
 *   texels from the rectangle's first texel). The pixel takes the texel
 *   holding that position, clamped to the rectangle. A centre exactly on the
 *   boundary between two texels takes the texel to the right of the
 *   boundary on screen, and above it: as a centre on a triangle's edge
 *   belongs to the triangle right of or above it, so the texels along an
 *   edge of the sprite that owns its pixels are the sprite's own. For an
 *   upright sprite drawn w pixels wide from sw texels, with its left edge at
 *   x0, pixel i takes texel floor((i + 0.5 - x0) * sw / w) (16 texels drawn
 *   20 wide from 0: pixel 12 takes texel 10), and row j takes texel
 *   ceil((j + 0.5 - y0) * sh / h) - 1 (pixel row 12 of the same: texel 9);
 *   a mirrored axis (see mvAtlasDrawArea) swaps the two forms. OpenGL reaches
 *   this by moving its texture coordinates 1/512 texel; the renderers may
 *   still differ where a position lies within 1/512 texel of a boundary
 *   without being on it (never for an upright sprite with whole or
 *   half-pixel corners less than 256 pixels wide and high), and where a
 *   turned sprite's centre lies on a boundary.
 * - Wide lines (mvDrawLineWidth above 1): each segment is a rectangle, the
 *   segment as its middle line and the width across, drawn as two triangles
 *   by the triangle rule, its corners in the colours of the segment's ends.
 *   Ends are square and not extended; the rectangles of a strip overlap
 *   where it bends, so a translucent strip blends twice there.
 *
 * Transform: every coordinate given to the drawing calls (vertices, shapes,
 * text, trails, sprites and atlas drawing, TrueType text) is a point of the
 * world, taken to window pixels by the current transform, which starts as
 * the identity. mvDrawTranslate2f, mvDrawRotate and mvDrawScale2f each
 * apply their step before the transform in force (so the last call moves the
 * world first, as in a scene graph): a camera is
 *     mvDrawResetTransform();
 *     mvDrawTranslate2f(screenW / 2, screenH / 2);   the focus at the centre
 *     mvDrawScale2f(zoom, zoom);
 *     mvDrawTranslate2f(-focusX, -focusY);
 * The matrix is kept in double; each transformed point is rounded to float
 * once, and then the pixel rules above apply to it. Sprites stay
 * rectangles: a transform that shears gives each side the length of its
 * transformed axis; one that mirrors, a mirrored sprite.
 *
 * Primitives: the vertices between mvDrawBegin and mvDrawEnd form one, and
 * it is drawn when it ends. A primitive still open ends (and is drawn) at
 * the next mvDrawBegin, mvDrawClear, sprite or text drawing, presenting of
 * the frame (mvWindowSwapBuffers) or reading it back (screenshots); so
 * mvDrawBegin inside a primitive first ends the one before. Vertices given
 * outside a primitive, or after mvDrawBegin with an unknown mode, are
 * ignored.
 *
 * Threads: these calls belong to the engine's thread: the thread that called
 * mvInit. Builds with MORVEN_THREAD_CHECKS (debug and sanitizer builds) abort
 * on a call from another thread. */
#ifndef MORVEN_DRAW_H
#define MORVEN_DRAW_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Primitive modes for mvDrawBegin. */
enum {
    MV_DRAW_POINTS = 0,
    MV_DRAW_LINES = 1,
    MV_DRAW_LINE_LOOP = 2,
    MV_DRAW_LINE_STRIP = 3,
    MV_DRAW_TRIANGLES = 4,
    MV_DRAW_TRIANGLE_STRIP = 5,
    MV_DRAW_TRIANGLE_FAN = 6
};

/** Starts a primitive of the given mode; the vertices that follow form it.
 * Ends a primitive still open first (drawing it). */
MV_API void mvDrawBegin(int mode);

/** Adds a vertex at (x, y) in the current colour; ignored outside a
 * primitive. */
MV_API void mvDrawVertex2f(float x, float y);

/** Ends the primitive and draws it; nothing when none is open. */
MV_API void mvDrawEnd(void);

/** Sets the current colour: grey with alpha 1. */
MV_API void mvDrawColor1f(float grey);

/** Sets the current colour: grey with the given alpha. */
MV_API void mvDrawColor2f(float grey, float alpha);

/** Sets the current colour: red, green, blue with alpha 1. */
MV_API void mvDrawColor3f(float r, float g, float b);

/** Sets the current colour: red, green, blue, alpha, each clamped to 0..1
 * (NaN counts as 0). */
MV_API void mvDrawColor4f(float r, float g, float b, float a);

/** Blend modes for mvDrawBlend; the arithmetic of each is written above. */
enum {
    MV_BLEND_ALPHA = 0,    /* "source over": the default */
    MV_BLEND_ADD = 1,      /* adds the source, weighted by its alpha: light, glow */
    MV_BLEND_MULTIPLY = 2, /* multiplies by the source colour: shade, tint */
    MV_BLEND_NONE = 3      /* replaces, alpha included */
};

/** Sets how what is drawn from now on (primitives, text, sprites, atlases,
 * trails, TrueType text) combines with the pixels under it, until changed.
 * Ends a primitive still open, as mvDrawBegin does. An unknown mode is
 * refused: false, with the reason in mvGetError(), and the mode stays.
 * MV_BLEND_ALPHA again at mvInit and whenever a window (its renderer)
 * opens. */
MV_API bool mvDrawBlend(int mode);

/** The blend mode in force. */
MV_API int mvDrawGetBlend(void);

/** Clears the frame, so the next one starts empty. */
MV_API void mvDrawClear(void);

/** Sets the colour mvDrawClear fills the frame with (components 0..1,
 * clamped, NaN as 0); opaque black until set, and again after mvDeinit. May
 * be set before the window opens: its first frame starts in that colour. */
MV_API void mvDrawClearColor(float r, float g, float b);

/** Draws text with the built-in bitmap font (printable ASCII) in the current
 * colour: top-left corner at (x, y), character cells `size` pixels tall and
 * 6/8 of that wide (each font pixel size/8 square); '\n' starts a new line.
 * Any other character (a control byte, or one UTF-8 character beyond ASCII)
 * draws as a box. The letters are filled rectangles drawn as triangles, so
 * they land on the pixels that triangles do. Null text, a size that is not
 * positive or a coordinate that is not finite draws nothing. */
MV_API void mvDrawText(float x, float y, float size, const char *text);

/** The size of the block mvDrawText fills with the same text and size, into
 * width and height (either may be null): the longest line's characters times
 * 6/8 of size across, the number of lines times size down. Null text or a
 * size mvDrawText would not draw gives 0 x 0. */
MV_API void mvDrawTextMeasure(float size, const char *text, float *width, float *height);

/** Draws a filled rectangle with corners (x, y) and (x + w, y + h) in the
 * current colour, as two triangles (w and h may be negative). Not finite:
 * nothing. Ends a primitive still open. */
MV_API void mvDrawRect(float x, float y, float w, float h);

/** Draws the border of the rectangle mvDrawRect would fill: four filled
 * rectangles the line width thick, inside it, meeting without overlap;
 * a border as thick as half the rectangle fills it. A 1-wide border of a
 * rectangle with whole-number corners lights exactly its outermost pixels. */
MV_API void mvDrawRectLines(float x, float y, float w, float h);

/** Draws a filled circle around (x, y) as a fan of triangles from the
 * centre: a regular polygon with enough sides (8 to 4096) that no side lies
 * more than 1/4 pixel inside the circle on screen. A radius that is not
 * positive, or a coordinate that is not finite: nothing. */
MV_API void mvDrawCircle(float x, float y, float radius);

/** Draws a ring around (x, y): the line width across, centred on the
 * radius, as a strip of triangles between two such polygons. When the width
 * reaches the centre, the filled circle of radius + width / 2. */
MV_API void mvDrawCircleLines(float x, float y, float radius);

/** Sets the width of the lines, line strips and loops drawn from the next
 * mvDrawBegin on, and of the borders of mvDrawRectLines and
 * mvDrawCircleLines; in world units. 1 (the default, and what any value
 * up to 1 or NaN gives) draws lines by the one-pixel line rule; wider ones
 * are drawn as rectangles (see above). Reset to 1 by mvDeinit. */
MV_API void mvDrawLineWidth(float width);

/** The line width in force. */
MV_API float mvDrawGetLineWidth(void);

/** The depth of the transform stack. */
#define MV_DRAW_TRANSFORM_DEPTH 32

/** Saves the current transform on the stack; false (nothing saved) when
 * it holds MV_DRAW_TRANSFORM_DEPTH already. */
MV_API bool mvDrawPushTransform(void);

/** Restores the transform last saved; false (unchanged) when none is. */
MV_API bool mvDrawPopTransform(void);

/** Makes the current transform the identity; the stack stays. mvDeinit
 * also empties the stack. */
MV_API void mvDrawResetTransform(void);

/** Moves the world by (x, y) before the current transform. Ignored when
 * not finite, as are the other steps. */
MV_API void mvDrawTranslate2f(float x, float y);

/** Turns the world by angle radians (+x towards +y) before the current transform. */
MV_API void mvDrawRotate(float angle);

/** Scales the world by sx across and sy down before the current transform
 * (a negative factor mirrors). */
MV_API void mvDrawScale2f(float sx, float sy);

/** The window pixel the world point (x, y) lands on through the current
 * transform; false (outputs untouched) when an output is null. */
MV_API bool mvDrawToScreen2f(float x, float y, float *screenX, float *screenY);

/** The world point that lands on window point (x, y), for instance the
 * mouse: the inverse of mvDrawToScreen2f. False (outputs untouched) when an
 * output is null or the transform cannot be inverted (a scale of 0). */
MV_API bool mvDrawToWorld2f(float x, float y, float *worldX, float *worldY);

MV_EXTERN_C_END

#endif
