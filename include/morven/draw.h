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
 * Blending is "source over" in 8-bit arithmetic: colour and alpha are taken
 * to the nearest byte, then new = src * a / 255 + old * (255 - a) / 255,
 * each product rounded to the nearest integer.
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
 *   between two pixels.
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

MV_EXTERN_C_END

#endif
