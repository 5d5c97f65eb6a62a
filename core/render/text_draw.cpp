// mvDrawText: the built-in font drawn as filled rectangles, one per run of
// lit pixels in a glyph row, each two triangles sharing a diagonal. Every
// edge is origin + index * scale, so neighbouring rectangles meet exactly and
// the triangle rule gives each pixel to one of them: no gaps, no pixel
// blended twice, and the same pixels on every renderer that keeps the rule.
// Glyphs wholly outside the frame are left out, and lines that lie wholly
// outside it are skipped at the speed of a byte search, so text costs what
// it shows.
#include <morven/draw.h>

#include <cmath>
#include <cstring>

#include "core/render/font.h"
#include "core/render/frame_size.h"

namespace {

// One character of UTF-8 text starting at s: its code for printable ASCII
// and '\n', -1 for anything else; *length gets its bytes. A well-formed
// multi-byte sequence is one character, a stray byte another.
int nextCharacter(const unsigned char *s, int *length) {
    unsigned char c = s[0];
    *length = 1;
    if (c < 0x80) return (c >= 32 && c <= 126) || c == '\n' ? c : -1;
    int extra = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    for (int k = 1; k <= extra; k++)
        if ((s[k] & 0xC0) != 0x80) return -1;
    *length = 1 + extra;
    return -1;
}

void rectangle(float left, float top, float right, float bottom) {
    mvDrawVertex2f(left, top);
    mvDrawVertex2f(right, top);
    mvDrawVertex2f(left, bottom);
    mvDrawVertex2f(right, top);
    mvDrawVertex2f(right, bottom);
    mvDrawVertex2f(left, bottom);
}

void drawGlyph(const uint8_t *glyph, float x, float y, float scale, long column, long row) {
    for (int r = 0; r < kFontCellHeight; r++) {
        float top = y + static_cast<float>(row + r) * scale;
        float bottom = y + static_cast<float>(row + r + 1) * scale;
        for (int c = 0; c < kFontGlyphWidth;) {
            if (!(glyph[r] >> (kFontGlyphWidth - 1 - c) & 1)) {
                c++;
                continue;
            }
            int start = c;
            while (c < kFontGlyphWidth && (glyph[r] >> (kFontGlyphWidth - 1 - c) & 1)) c++;
            rectangle(x + static_cast<float>(column + start) * scale, top, x + static_cast<float>(column + c) * scale,
                      bottom);
        }
    }
}

}  // namespace

extern "C" {

MV_API void mvDrawTextMeasure(float size, const char *text, float *width, float *height) {
    long columns = 0, widest = 0, lines = 1;
    bool valid = text && size > 0.0f && std::isfinite(size);
    for (const unsigned char *s = reinterpret_cast<const unsigned char *>(valid ? text : ""); *s;) {
        int length;
        int c = nextCharacter(s, &length);
        s += length;
        if (c == '\n') {
            columns = 0;
            lines++;
        } else if (++columns > widest) {
            widest = columns;
        }
    }
    float scale = valid ? size / static_cast<float>(kFontCellHeight) : 0.0f;
    if (width) *width = static_cast<float>(widest * kFontCellWidth) * scale;
    if (height) *height = static_cast<float>(lines * kFontCellHeight) * scale;
}

MV_API void mvDrawText(float x, float y, float size, const char *text) {
    if (!text || !(size > 0.0f) || !std::isfinite(size) || !std::isfinite(x) || !std::isfinite(y)) return;
    float scale = size / static_cast<float>(kFontCellHeight);
    int frameW = 0, frameH = 0;
    bool cull = drawFrameSize(&frameW, &frameH);
    float right = static_cast<float>(frameW), bottom = static_cast<float>(frameH);
    // Font columns that lie left of the frame for certain (a column to spare
    // for rounding): single-byte characters there are only counted.
    double hidden = std::floor(-static_cast<double>(x) / static_cast<double>(scale)) - 1.0;
    long hiddenColumns = hidden > 0.0 ? static_cast<long>(hidden < 1e15 ? hidden : 1e15) : 0;
    // Font pixels from the origin, as integers so that every edge is computed alike.
    long column = 0, row = 0;
    mvDrawBegin(MV_DRAW_TRIANGLES);
    for (const unsigned char *s = reinterpret_cast<const unsigned char *>(text); *s;) {
        if (cull) {
            // A glyph's rectangles lie between its cell's edges, computed as
            // drawGlyph computes them: outside those, no pixel centre is covered.
            float top = y + static_cast<float>(row) * scale;
            float lineBottom = y + static_cast<float>(row + kFontCellHeight) * scale;
            float left = x + static_cast<float>(column) * scale;
            if (!(top < bottom)) break;  // this line and all after it are below the frame
            if (!(lineBottom > 0.0f) || !(left < right)) {
                // The rest of the line is above or right of the frame. A '\n'
                // byte is never part of a longer character.
                const char *newline = strchr(reinterpret_cast<const char *>(s), '\n');
                if (!newline) break;
                s = reinterpret_cast<const unsigned char *>(newline) + 1;
                column = 0;
                row += kFontCellHeight;
                continue;
            }
        }
        if (cull) {
            while (*s && *s < 0x80 && *s != '\n' && column + kFontGlyphWidth <= hiddenColumns) {
                s++;
                column += kFontCellWidth;
            }
            if (!*s) break;
        }
        if (cull) {
            while (*s && *s < 0x80 && *s != '\n' && column + kFontGlyphWidth <= hiddenColumns) {
                s++;
                column += kFontCellWidth;
            }
            if (!*s) break;
        }
        int length;
        int c = nextCharacter(s, &length);
        s += length;
        if (c == '\n') {
            column = 0;
            row += kFontCellHeight;
            continue;
        }
        bool shown = !cull || x + static_cast<float>(column + kFontGlyphWidth) * scale > 0.0f;
        if (c != ' ' && shown) drawGlyph(fontGlyph(c), x, y, scale, column, row);
        column += kFontCellWidth;
    }
    mvDrawEnd();
}

}
