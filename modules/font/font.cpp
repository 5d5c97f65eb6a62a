// The "Font" module: TrueType and OpenType fonts through FreeType, hinted
// and rasterised to 8-bit coverage at whole pixel sizes.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdlib>

#include "core/engine/plugin.h"

namespace {

const char *lastFailure = "";

// Pixels a glyph may span across or down at most.
constexpr int kGlyphLimit = 2048;

// A face with its own library instance, so faces share no state.
struct Face {
    FT_Library library;
    FT_Face face;
};

Face *face(void *self) { return static_cast<Face *>(self); }

// 26.6 fixed point to whole pixels, rounded.
int pixelsOf(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

void close(void *self) {
    Face *f = face(self);
    if (!f) return;
    if (f->face) FT_Done_Face(f->face);
    if (f->library) FT_Done_FreeType(f->library);
    free(f);
}

void *open(const uint8_t *data, size_t size, int pixels) {
    if (!data || size == 0 || static_cast<FT_Long>(size) < 0 || pixels <= 0) {
        lastFailure = "no font data";
        return nullptr;
    }
    Face *f = static_cast<Face *>(calloc(1, sizeof(Face)));
    if (!f) {
        lastFailure = "out of memory";
        return nullptr;
    }
    if (FT_Init_FreeType(&f->library)) {
        lastFailure = "FreeType did not start";
        close(f);
        return nullptr;
    }
    if (FT_New_Memory_Face(f->library, data, static_cast<FT_Long>(size), 0, &f->face)) {
        lastFailure = "not a font FreeType reads";
        close(f);
        return nullptr;
    }
    if (!FT_IS_SCALABLE(f->face)) {
        lastFailure = "not an outline font";
        close(f);
        return nullptr;
    }
    if (FT_Set_Pixel_Sizes(f->face, 0, static_cast<FT_UInt>(pixels))) {
        lastFailure = "the font cannot be set to that size";
        close(f);
        return nullptr;
    }
    // Unicode if the face has such a map; FreeType picks one when it can.
    FT_Select_Charmap(f->face, FT_ENCODING_UNICODE);
    return f;
}

void lineMetrics(void *self, int *ascent, int *lineHeight) {
    const FT_Size_Metrics &m = face(self)->face->size->metrics;
    *ascent = pixelsOf(m.ascender);
    *lineHeight = pixelsOf(m.height);
}

uint32_t glyphIndex(void *self, uint32_t codepoint) { return FT_Get_Char_Index(face(self)->face, codepoint); }

bool glyph(void *self, uint32_t index, MVFontGlyph *out) {
    FT_Face f = face(self)->face;
    if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT)) {
        lastFailure = "the glyph cannot be loaded";
        return false;
    }
    // A glyph far larger than the em (a hostile font) is refused before it
    // is rasterised, so that no such bitmap is ever allocated.
    if (f->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&f->glyph->outline, &box);
        FT_Pos limit = static_cast<FT_Pos>(kGlyphLimit) << 6;
        if (box.xMax - box.xMin > limit || box.yMax - box.yMin > limit) {
            lastFailure = "a glyph larger than the font allows";
            return false;
        }
    }
    if (FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL)) {
        lastFailure = "the glyph cannot be drawn";
        return false;
    }
    const FT_Bitmap &b = f->glyph->bitmap;
    if (b.pixel_mode != FT_PIXEL_MODE_GRAY || b.num_grays != 256 || b.pitch < 0) {
        lastFailure = "the glyph is not in 8-bit coverage";
        return false;
    }
    out->w = static_cast<int>(b.width);
    out->h = static_cast<int>(b.rows);
    out->pitch = b.pitch;
    out->left = f->glyph->bitmap_left;
    out->top = f->glyph->bitmap_top;
    out->advance = pixelsOf(f->glyph->advance.x);
    out->coverage = b.buffer;
    return true;
}

int kerning(void *self, uint32_t left, uint32_t right) {
    FT_Face f = face(self)->face;
    FT_Vector k;
    if (!FT_HAS_KERNING(f) || FT_Get_Kerning(f, left, right, FT_KERNING_DEFAULT, &k)) return 0;
    return pixelsOf(k.x);
}

const char *error() { return lastFailure; }

const MVPluginFont font = {open, close, lineMetrics, glyphIndex, glyph, kerning};
const MVPlugin plugin = {MV_PLUGIN_ABI, "Font", nullptr, nullptr, nullptr, error, nullptr, nullptr, &font};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
