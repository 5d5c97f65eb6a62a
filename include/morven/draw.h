/* MORVEN: immediate-mode drawing.
 *
 * Coordinates are window pixels, origin at the top left, y pointing down.
 * Colour components run from 0 to 1. Calls go to the engine's current
 * renderer; before mvInit, and without a window, they draw nothing. */
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

/** Starts a primitive of the given mode; the vertices that follow form it. */
MV_API void mvDrawBegin(int mode);

/** Adds a vertex at (x, y) in the current colour. */
MV_API void mvDrawVertex2f(float x, float y);

/** Ends the primitive and draws it. */
MV_API void mvDrawEnd(void);

/** Sets the current colour: grey with alpha 1. */
MV_API void mvDrawColor1f(float grey);

/** Sets the current colour: grey with the given alpha. */
MV_API void mvDrawColor2f(float grey, float alpha);

/** Sets the current colour: red, green, blue with alpha 1. */
MV_API void mvDrawColor3f(float r, float g, float b);

/** Sets the current colour: red, green, blue, alpha. */
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
