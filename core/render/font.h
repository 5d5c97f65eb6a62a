// The built-in bitmap font: one 5 x 8 glyph per printable ASCII character,
// drawn in a 6 x 8 cell (a blank column on the right). Capitals and digits
// use rows 0 to 6; row 7 holds only descenders, so lines sit 8 rows apart.
#ifndef MORVEN_CORE_RENDER_FONT_H
#define MORVEN_CORE_RENDER_FONT_H

#include <cstdint>

constexpr int kFontCellWidth = 6;
constexpr int kFontCellHeight = 8;
constexpr int kFontGlyphWidth = 5;

// The glyph of character c: 8 rows, top first; in each row bit 4 is the
// leftmost column and bit 0 the rightmost. Anything but printable ASCII
// (32 to 126) gets the box glyph.
const uint8_t *fontGlyph(int c);

#endif
