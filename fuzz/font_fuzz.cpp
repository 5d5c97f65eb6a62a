// Fonts from untrusted bytes: the "Font" module opens them from memory,
// rasterises glyphs and looks up kerning. The first two bytes choose the
// pixel size and a few code points; the rest is the font file. Every glyph
// the module hands back must lie within the limits it promises.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/engine/plugin.h"

extern "C" const MVPlugin *mvPluginEntry();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    const MVPluginFont *font = mvPluginEntry()->font;
    int pixels = 1 + data[0] % 96;
    uint32_t seed = data[1];
    // The face reads the bytes in place for as long as it lives.
    size_t n = size - 2;
    uint8_t *copy = static_cast<uint8_t *>(malloc(n ? n : 1));
    if (!copy) return 0;
    if (n) memcpy(copy, data + 2, n);
    void *face = font->open(copy, n, pixels);
    if (face) {
        int ascent = 0, lineHeight = 0;
        font->lineMetrics(face, &ascent, &lineHeight);
        const uint32_t codes[] = {'A', 'V', 'g', ' ', 0xE9, 0x20AC, 0xFFFD, 0x1F600, seed, seed << 8 | 0x41, 0};
        uint32_t previous = 0;
        for (uint32_t code : codes) {
            uint32_t index = font->glyphIndex(face, code);
            MVFontGlyph g;
            if (font->glyph(face, index, &g) && g.w > 0 && g.h > 0) {
                if (g.w > 2048 || g.h > 2048 || g.pitch < g.w || !g.coverage) abort();
                unsigned sum = 0;  // every coverage byte is readable
                for (int y = 0; y < g.h; y++)
                    for (int x = 0; x < g.w; x++) sum += g.coverage[size_t(y) * g.pitch + x];
                (void)sum;
            }
            (void)font->kerning(face, previous, index);
            previous = index;
        }
        font->close(face);
    }
    free(copy);
    return 0;
}
