/* MORVEN: TrueType and OpenType fonts.
 *
 * Fonts are read by the "Font" module (FreeType); mvFontLoad loads the
 * module when it is not loaded yet. Without it, loading a font fails with
 * the reason in mvGetError() and mvDrawText's built-in font still works.
 *
 * A font is drawn at one whole pixel size. Its glyphs are rasterised when a
 * text first needs them and kept in an atlas of the font's own (1024 x 1024);
 * each glyph is then drawn as a sprite (<morven/atlas.h>): white texels whose
 * alpha is the glyph's coverage, multiplied by the current colour, upright,
 * one texel a pixel, its corners on whole pixels when x and y are whole.
 * When the atlas is full, every glyph is dropped and rasterised again as
 * needed (a text of more distinct glyphs than fit draws as far as they do).
 *
 * Text is UTF-8: each well-formed character is one glyph (the font's box for
 * a character it lacks); a malformed byte draws as U+FFFD. '\n' starts a new
 * line. Pairs of glyphs are moved closer or apart by the font's kerning.
 * Control characters other than '\n' draw nothing and take no room.
 *
 * Threads: fonts belong to the engine's thread (the one that called mvInit,
 * or without mvInit the one thread using the engine). A font may outlive
 * mvDeinit; draw it again after the next mvInit, or free it. */
#ifndef MORVEN_FONT_H
#define MORVEN_FONT_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

typedef struct MVFont MVFont;

/** Loads the font file at path (at most 64 MiB) at pixelSize pixels per em,
 * rounded to a whole size from 1 to 1024. Null, with the reason in
 * mvGetError(), when the path is null, the file cannot be read, the "Font"
 * module is missing or the file is no font it reads. The caller owns the
 * font until mvFontFree. */
MV_API MVFont *mvFontLoad(const char *path, float pixelSize);

/** As mvFontLoad, from size bytes at data; the bytes are copied, the caller
 * keeps its buffer. */
MV_API MVFont *mvFontLoadMemory(const void *data, size_t size, float pixelSize);

/** Draws text (UTF-8) in the current colour with the top of its first line
 * at y and the pen starting at x: each line's baseline lies the font's
 * ascent below the line's top, lines one line height apart. Null font or
 * text, or a coordinate that is not finite: nothing. */
MV_API void mvFontDraw(MVFont *font, float x, float y, const char *text);

/** The size of the block mvFontDraw fills with text, into width and height
 * (either may be null): the widest line's advance (with kerning) across, the
 * number of lines times the line height down. Null font or text gives 0 x 0. */
MV_API void mvFontMeasure(MVFont *font, const char *text, float *width, float *height);

/** The font's line height: pixels from one baseline to the next; 0 for null. */
MV_API float mvFontLineHeight(const MVFont *font);

/** Releases the font and its atlas. Null is ignored. */
MV_API void mvFontFree(MVFont *font);

MV_EXTERN_C_END

#endif
