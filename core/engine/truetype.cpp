// Outline fonts: faces opened by the "Font" module, glyphs rasterised on
// first use into the font's own atlas and drawn from there as sprites.
#include <morven/atlas.h>
#include <morven/error.h>
#include <morven/font.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/atlas/atlas_internal.h"
#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/containers/growable.h"
#include "core/engine/engine_state.h"

namespace {

constexpr size_t kFileLimit = size_t(64) << 20;
constexpr int kAtlasSide = 1024;
constexpr int kLargestSize = 1024;
constexpr uint32_t kReplacement = 0xFFFD;

// A glyph as the font keeps it: where it lies in the atlas (null area for a
// glyph without pixels, such as a space) and how it sits on the pen.
struct CachedGlyph {
    MVAtlasArea *area;
    int left, top, w, h;
    int advance;
    bool drawable;  // false: the module could not rasterise it; it takes no room
};

}  // namespace

struct MVFont {
    const MVPluginFont *module;
    void *face;
    uint8_t *data;  // the font file, read by the face for as long as it lives
    MVAtlas *atlas;
    int ascent, lineHeight;
    uint32_t ascii[128];  // glyph indices of ASCII characters, found once
    std::unordered_map<uint32_t, uint32_t> indices;  // beyond ASCII
    // Glyphs by index, null until first used: a flat table, since glyph
    // indices are small (below 65536) and looked up once a character.
    std::vector<CachedGlyph *> glyphs;
    std::vector<CachedGlyph> store;  // reserved up front, so pointers stay
    std::unordered_map<uint64_t, int> kerning;  // by pair of glyph indices
    std::vector<MVSprite> pending;              // sprites of the text being drawn
    std::vector<uint8_t> texels;                // scratch for one glyph's RGBA
};

namespace {

// One character of UTF-8 from s (not at its end): its code point, and the
// bytes it takes in *length. A malformed sequence, an overlong form, a
// surrogate or a code above U+10FFFF is one byte of U+FFFD.
uint32_t nextCodePoint(const unsigned char *s, int *length) {
    unsigned c = s[0];
    *length = 1;
    if (c < 0x80) return c;
    int extra = c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
    if (extra == 0) return kReplacement;
    uint32_t code = c & (0x3Fu >> extra);
    for (int k = 1; k <= extra; k++) {
        if ((s[k] & 0xC0) != 0x80) return kReplacement;
        code = code << 6 | (s[k] & 0x3Fu);
    }
    static const uint32_t smallest[4] = {0, 0x80, 0x800, 0x10000};
    if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacement;
    *length = 1 + extra;
    return code;
}

uint32_t glyphIndexOf(MVFont *font, uint32_t code) {
    if (code < 128) return font->ascii[code];
    auto found = font->indices.find(code);
    if (found != font->indices.end()) return found->second;
    uint32_t index = font->module->glyphIndex(font->face, code);
    font->indices.emplace(code, index);
    return index;
}

// Draws the sprites of the text laid out so far.
void flushPending(MVFont *font) {
    atlasDrawSprites(font->atlas, font->pending.data(), font->pending.size());
    font->pending.clear();
}

// Drops every glyph from the atlas, for room when it is full; what was laid
// out before is drawn first, while its glyphs are still there.
void dropGlyphs(MVFont *font) {
    flushPending(font);
    for (CachedGlyph &g : font->store)
        if (g.area) mvAtlasAreaRelease(font->atlas, g.area);
    font->store.clear();
    std::fill(font->glyphs.begin(), font->glyphs.end(), nullptr);
}

// Puts a rasterised glyph's coverage into the atlas as white texels with
// that alpha; false when it does not fit even in an empty atlas.
bool storeGlyph(MVFont *font, const MVFontGlyph &g, CachedGlyph *out) {
    out->area = mvAtlasAreaReserve(font->atlas, g.w, g.h, 1);
    if (!out->area) {
        dropGlyphs(font);
        out->area = mvAtlasAreaReserve(font->atlas, g.w, g.h, 1);
        if (!out->area) return false;
    }
    font->texels.resize(size_t(g.w) * g.h * 4);
    uint8_t *t = font->texels.data();
    for (int y = 0; y < g.h; y++) {
        const uint8_t *row = g.coverage + size_t(y) * g.pitch;
        for (int x = 0; x < g.w; x++, t += 4) {
            t[0] = t[1] = t[2] = 255;
            t[3] = row[x];
        }
    }
    mvAtlasAreaSetData(font->atlas, out->area, g.w, g.h, 32, font->texels.data());
    return true;
}

constexpr size_t kGlyphIndices = 65536;
// Glyphs kept at once; more distinct ones than this drop the cache.
constexpr size_t kStoredGlyphs = 4096;

// The glyph with that index, rasterised and stored on first use.
const CachedGlyph &glyphOf(MVFont *font, uint32_t index) {
    static const CachedGlyph nothing = {nullptr, 0, 0, 0, 0, 0, false};
    if (index >= kGlyphIndices) return nothing;
    if (font->glyphs[index]) return *font->glyphs[index];
    if (font->store.size() == kStoredGlyphs) dropGlyphs(font);
    CachedGlyph cached = nothing;
    MVFontGlyph g;
    if (font->module->glyph(font->face, index, &g)) {
        cached = {nullptr, g.left, g.top, g.w, g.h, g.advance, true};
        if (g.w > 0 && g.h > 0 && !storeGlyph(font, g, &cached)) cached.w = cached.h = 0;
    }
    font->store.push_back(cached);  // storeGlyph may have emptied the store
    font->glyphs[index] = &font->store.back();
    return font->store.back();
}

int kerningOf(MVFont *font, uint32_t left, uint32_t right) {
    uint64_t key = uint64_t(left) << 32 | right;
    auto found = font->kerning.find(key);
    if (found != font->kerning.end()) return found->second;
    int k = font->module->kerning(font->face, left, right);
    font->kerning.emplace(key, k);
    return k;
}

// Walks the text line by line, calling place(glyph, penX, lineIndex) for each
// glyph after kerning, and ends a line with endLine(width).
template <class Place, class EndLine>
void layOut(MVFont *font, const char *text, Place place, EndLine endLine) {
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    long pen = 0;
    int line = 0;
    uint32_t previous = 0;
    bool havePrevious = false;
    while (*s) {
        int length;
        uint32_t code = nextCodePoint(s, &length);
        s += length;
        if (code == '\n') {
            endLine(pen);
            pen = 0;
            line++;
            havePrevious = false;
            continue;
        }
        if (code < 32 || code == 127) continue;
        uint32_t index = glyphIndexOf(font, code);
        if (havePrevious) pen += kerningOf(font, previous, index);
        const CachedGlyph &g = glyphOf(font, index);
        if (!g.drawable) continue;
        place(g, pen, line);
        pen += g.advance;
        previous = index;
        havePrevious = true;
    }
    endLine(pen);
}

MVFont *openFont(uint8_t *data, size_t size, float pixelSize, const char *what) {
    if (!(pixelSize >= 0.5f && pixelSize < kLargestSize + 0.5f)) {
        setError("font %s not loaded: a size of %g pixels is not from 1 to %d", what, double(pixelSize),
                       kLargestSize);
        free(data);
        return nullptr;
    }
    const MVPluginFont *module = engineFontPlugin();
    if (!module) {
        char why[512];
        snprintf(why, sizeof why, "%s", mvGetError());
        setError("font %s not loaded: %s", what, why);
        free(data);
        return nullptr;
    }
    int pixels = static_cast<int>(std::lround(pixelSize));
    void *face = module->open(data, size, pixels);
    if (!face) {
        setError("font %s not loaded: %s", what, engineModuleError(MODULE_FONT));
        free(data);
        return nullptr;
    }
    MVFont *font = new (std::nothrow) MVFont();
    MVAtlas *atlas = font ? mvAtlasCreate(kAtlasSide, kAtlasSide, 32) : nullptr;
    bool ready = atlas != nullptr;
    if (ready) {
        try {
            font->glyphs.assign(kGlyphIndices, nullptr);
            font->store.reserve(kStoredGlyphs);
        } catch (const std::bad_alloc &) {
            ready = false;
        }
    }
    if (!ready) {
        mvAtlasDestroy(atlas);
        delete font;
        module->close(face);
        free(data);
        setError("font %s not loaded: out of memory", what);
        return nullptr;
    }
    font->module = module;
    font->face = face;
    font->data = data;
    font->atlas = atlas;
    module->lineMetrics(face, &font->ascent, &font->lineHeight);
    for (uint32_t c = 0; c < 128; c++) font->ascii[c] = module->glyphIndex(face, c);
    engineFontOpened();
    return font;
}

}  // namespace

extern "C" {

MV_API MVFont *mvFontLoadMemory(const void *data, size_t size, float pixelSize) {
    engineThreadCheck(__func__);
    if (!data || size == 0 || size > kFileLimit) {
        setError("font from memory not loaded: %s", !data || !size ? "no data" : "larger than 64 MiB");
        return nullptr;
    }
    uint8_t *copy = static_cast<uint8_t *>(malloc(size));
    if (!copy) {
        setError("font from memory not loaded: out of memory");
        return nullptr;
    }
    memcpy(copy, data, size);
    return openFont(copy, size, pixelSize, "from memory");
}

MV_API MVFont *mvFontLoad(const char *path, float pixelSize) {
    engineThreadCheck(__func__);
    if (!path) {
        setError("mvFontLoad: no path");
        return nullptr;
    }
    FILE *file = fopen(path, "rb");
    if (!file) {
        setError("font %s not loaded: %s", path, strerror(errno));
        return nullptr;
    }
    // Read up to one byte past the limit, to tell a file that is too large.
    constexpr size_t kMostRead = kFileLimit + 1;
    Growable<uint8_t> bytes;
    bool failed = !bytes.reserve(size_t(1) << 16);
    while (!failed) {
        size_t room = std::min(bytes.capacity, kMostRead) - bytes.count;
        size_t got = fread(bytes.items + bytes.count, 1, room, file);
        bytes.count += got;
        if (got < room || bytes.count == kMostRead) break;
        failed = !bytes.reserve(bytes.count + 1);
    }
    bool readError = ferror(file) != 0;
    fclose(file);
    size_t size = bytes.count;
    if (failed || readError || size == 0 || size > kFileLimit) {
        bytes.release();
        setError("font %s not loaded: %s", path,
                       failed      ? "out of memory"
                       : readError ? "the file cannot be read"
                       : size == 0 ? "the file is empty"
                                   : "larger than 64 MiB");
        return nullptr;
    }
    return openFont(bytes.items, size, pixelSize, path);  // the font takes the bytes
}

MV_API void mvFontDraw(MVFont *font, float x, float y, const char *text) {
    engineThreadCheck(__func__);
    if (!font || !text || !std::isfinite(x) || !std::isfinite(y)) return;
    font->pending.clear();
    layOut(
        font, text,
        [&](const CachedGlyph &g, long pen, int line) {
            if (!g.area) return;
            float left = x + float(pen + g.left);
            float top = y + float(long(line) * font->lineHeight + font->ascent - g.top);
            MVSprite sprite = {g.area->x, g.area->y, g.w, g.h, left + 0.5f * float(g.w), top + 0.5f * float(g.h),
                               float(g.w), float(g.h), 0.0f};
            try {
                font->pending.push_back(sprite);
            } catch (const std::bad_alloc &) {
                flushPending(font);  // no room to hold more back: draw what there is, then this one
                atlasDrawSprites(font->atlas, &sprite, 1);
            }
        },
        [](long) {});
    flushPending(font);
}

MV_API void mvFontMeasure(MVFont *font, const char *text, float *width, float *height) {
    engineThreadCheck(__func__);
    long widest = 0, lines = 0;
    if (font && text)
        layOut(
            font, text, [](const CachedGlyph &, long, int) {},
            [&](long pen) {
                if (pen > widest) widest = pen;
                lines++;
            });
    if (width) *width = float(widest);
    if (height) *height = float(lines * (font ? font->lineHeight : 0));
}

MV_API float mvFontLineHeight(const MVFont *font) { return font ? float(font->lineHeight) : 0.0f; }

MV_API void mvFontFree(MVFont *font) {
    engineThreadCheck(__func__);
    if (!font) return;
    mvAtlasDestroy(font->atlas);
    font->module->close(font->face);
    free(font->data);
    delete font;
    engineFontClosed();
}

}
