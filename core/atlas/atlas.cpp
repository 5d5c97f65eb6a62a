// Texture atlases: an RGBA image in memory, the packer that hands out its
// areas, and a texture in the current renderer, refreshed when drawn after a
// change.
#include <morven/atlas.h>
#include <morven/draw.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/atlas/atlas_internal.h"
#include "core/atlas/packer.h"
#include "core/system/error.h"

namespace {

struct Area {
    MVAtlasArea pub;  // first member: callers hold its address
    PackRect footprint;
};

}  // namespace

struct MVAtlas {
    int w, h;
    uint8_t *pixels;
    Packer packer;
    Area **areas;
    size_t areaCount;
    MVRenderer *texRenderer;  // where tex lives; null: no texture
    uint32_t tex;
    int dirtyTop, dirtyBottom;  // rows to upload: [top, bottom); empty when equal
    MVAtlas *prev, *next;       // the live atlases
};

namespace {

MVAtlas *liveAtlases = nullptr;

void markDirty(MVAtlas *a, int top, int bottom) {
    if (a->dirtyTop == a->dirtyBottom) {
        a->dirtyTop = top;
        a->dirtyBottom = bottom;
        return;
    }
    if (top < a->dirtyTop) a->dirtyTop = top;
    if (bottom > a->dirtyBottom) a->dirtyBottom = bottom;
}

long findArea(const MVAtlas *a, const MVAtlasArea *area) {
    for (size_t i = 0; i < a->areaCount; i++)
        if (&a->areas[i]->pub == area) return static_cast<long>(i);
    return -1;
}

// Sizes the area array to its count (a failed shrink keeps the larger block).
void fitAreas(MVAtlas *a) {
    if (a->areaCount == 0) {
        free(a->areas);
        a->areas = nullptr;
        return;
    }
    void *shrunk = realloc(a->areas, a->areaCount * sizeof(Area *));
    if (shrunk) a->areas = static_cast<Area **>(shrunk);
}

// Makes sure the current renderer holds an up-to-date texture of the atlas.
uint32_t texture(MVAtlas *a) {
    MVRenderer *r = mvCoreRenderer();
    if (a->texRenderer != r) {
        // A texture in another renderer is forgotten, not destroyed: that
        // renderer may be gone (the engine drops textures before it destroys one).
        a->tex = r->textureCreate(r->self, a->w, a->h);
        a->texRenderer = a->tex ? r : nullptr;
        if (!a->tex) return 0;
        a->dirtyTop = 0;
        a->dirtyBottom = a->h;
    }
    if (a->dirtyTop < a->dirtyBottom) {
        r->textureUpdate(r->self, a->tex, 0, a->dirtyTop, a->w, a->dirtyBottom - a->dirtyTop,
                         a->pixels + 4 * static_cast<size_t>(a->dirtyTop) * a->w);
        a->dirtyTop = a->dirtyBottom = 0;
    }
    return a->tex;
}

void rect(float x0, float y0, float x1, float y1) {
    mvDrawVertex2f(x0, y0);
    mvDrawVertex2f(x1, y0);
    mvDrawVertex2f(x1, y1);
    mvDrawVertex2f(x0, y0);
    mvDrawVertex2f(x1, y1);
    mvDrawVertex2f(x0, y1);
}

// One-pixel frames along the inside of every area, as non-overlapping
// rectangles so that translucent colours blend once per pixel.
void drawFrames(const MVAtlas *a, float x, float y) {
    mvDrawBegin(MV_DRAW_TRIANGLES);
    for (size_t i = 0; i < a->areaCount; i++) {
        const MVAtlasArea &r = a->areas[i]->pub;
        float x0 = x + r.x, y0 = y + r.y, x1 = x0 + r.w, y1 = y0 + r.h;
        rect(x0, y0, x1, y0 + 1);
        if (r.h > 1) rect(x0, y1 - 1, x1, y1);
        if (r.h > 2) {
            rect(x0, y0 + 1, x0 + 1, y1 - 1);
            if (r.w > 1) rect(x1 - 1, y0 + 1, x1, y1 - 1);
        }
    }
    mvDrawEnd();
}

}  // namespace

void atlasDropTextures(MVRenderer *r) {
    for (MVAtlas *a = liveAtlases; a; a = a->next) {
        if (a->texRenderer != r) continue;
        r->textureDestroy(r->self, a->tex);
        a->tex = 0;
        a->texRenderer = nullptr;
    }
}

extern "C" {

MV_API MVAtlas *mvAtlasCreate(int width, int height, int bpp) {
    if (bpp != 32 || width <= 0 || height <= 0 || width > 65535 || height > 65535) return nullptr;
    MVAtlas *a = static_cast<MVAtlas *>(calloc(1, sizeof(MVAtlas)));
    if (!a) return nullptr;
    a->pixels = static_cast<uint8_t *>(calloc(static_cast<size_t>(width) * height, 4));
    if (!a->pixels || !packerInit(&a->packer, width, height)) {
        free(a->pixels);
        free(a);
        return nullptr;
    }
    a->w = width;
    a->h = height;
    a->next = liveAtlases;
    if (liveAtlases) liveAtlases->prev = a;
    liveAtlases = a;
    return a;
}

MV_API void mvAtlasDestroy(MVAtlas *atlas) {
    if (!atlas) return;
    if (atlas->texRenderer && atlas->texRenderer == mvCoreRenderer())
        atlas->texRenderer->textureDestroy(atlas->texRenderer->self, atlas->tex);
    if (atlas->prev) atlas->prev->next = atlas->next;
    else liveAtlases = atlas->next;
    if (atlas->next) atlas->next->prev = atlas->prev;
    for (size_t i = 0; i < atlas->areaCount; i++) free(atlas->areas[i]);
    free(atlas->areas);
    packerRelease(&atlas->packer);
    free(atlas->pixels);
    free(atlas);
}

MV_API MVAtlasArea *mvAtlasAreaReserve(MVAtlas *atlas, int64_t w, int64_t h, int64_t padding) {
    if (!atlas || w <= 0 || h <= 0 || w > atlas->w || h > atlas->h || padding < 0 || padding > 65535) return nullptr;
    Area *area = static_cast<Area *>(malloc(sizeof(Area)));
    if (!area) return nullptr;
    Area **areas = static_cast<Area **>(realloc(atlas->areas, (atlas->areaCount + 1) * sizeof(Area *)));
    if (!areas) {
        free(area);
        return nullptr;
    }
    atlas->areas = areas;
    PackRect placed;
    if (!packerInsert(&atlas->packer, static_cast<int>(w), static_cast<int>(h), static_cast<int>(padding), &placed,
                      &area->footprint)) {
        free(area);
        fitAreas(atlas);  // give back the slot just grown
        return nullptr;
    }
    area->pub = {static_cast<uint16_t>(placed.x), static_cast<uint16_t>(placed.y), static_cast<uint16_t>(w),
                 static_cast<uint16_t>(h)};
    atlas->areas[atlas->areaCount++] = area;
    return &area->pub;
}

MV_API bool mvAtlasAreaSetData(MVAtlas *atlas, MVAtlasArea *area, int w, int h, int bpp, const void *pixels) {
    if (!atlas || !area || !pixels || bpp != 32 || w <= 0 || h <= 0 || findArea(atlas, area) < 0) return false;
    int cw = w < area->w ? w : area->w, ch = h < area->h ? h : area->h;
    const uint8_t *src = static_cast<const uint8_t *>(pixels);
    for (int row = 0; row < ch; row++)
        memcpy(atlas->pixels + 4 * ((static_cast<size_t>(area->y) + row) * atlas->w + area->x),
               src + 4 * static_cast<size_t>(row) * w, 4 * static_cast<size_t>(cw));
    markDirty(atlas, area->y, area->y + ch);
    return true;
}

MV_API void mvAtlasAreaRelease(MVAtlas *atlas, MVAtlasArea *area) {
    if (!atlas || !area) return;
    long index = findArea(atlas, area);
    if (index < 0) return;
    for (int row = 0; row < area->h; row++)
        memset(atlas->pixels + 4 * ((static_cast<size_t>(area->y) + row) * atlas->w + area->x), 0,
               4 * static_cast<size_t>(area->w));
    markDirty(atlas, area->y, area->y + area->h);
    free(atlas->areas[index]);
    atlas->areas[index] = atlas->areas[--atlas->areaCount];
    fitAreas(atlas);
    PackRect *used = static_cast<PackRect *>(malloc((atlas->areaCount + 1) * sizeof(PackRect)));
    if (!used) return;  // the space stays taken until a later release succeeds
    for (size_t i = 0; i < atlas->areaCount; i++) used[i] = atlas->areas[i]->footprint;
    packerRebuild(&atlas->packer, used, atlas->areaCount);
    free(used);
}

MV_API double mvAtlasOccupancy(const MVAtlas *atlas) {
    if (!atlas) return 0.0;
    double covered = 0;
    for (size_t i = 0; i < atlas->areaCount; i++) covered += double(atlas->areas[i]->pub.w) * atlas->areas[i]->pub.h;
    return covered / (double(atlas->w) * atlas->h);
}

MV_API void mvAtlasDrawDBG(MVAtlas *atlas, float x, float y, int flags, int what) {
    (void)flags;
    if (!atlas) return;
    if (what == MV_ATLAS_DRAW_IMAGE) {
        uint32_t tex = texture(atlas);
        if (tex) mvCoreRenderer()->textureDraw(mvCoreRenderer()->self, tex, x, y, float(atlas->w), float(atlas->h));
    } else if (what == MV_ATLAS_DRAW_FRAMES) {
        drawFrames(atlas, x, y);
    }
}

MV_API void mvAtlasDrawArea(MVAtlas *atlas, const MVAtlasArea *area, float x, float y, float w, float h,
                            float angle) {
    if (!atlas || !area || !(w > 0) || !(h > 0) || !std::isfinite(x + y + w + h + angle)) return;
    // The record is the caller's: only what lies inside the atlas is drawn from.
    if (area->w == 0 || area->h == 0 || area->x + area->w > atlas->w || area->y + area->h > atlas->h) return;
    uint32_t tex = texture(atlas);
    if (!tex) return;
    MVSprite sprite = {area->x, area->y, area->w, area->h, x, y, w, h, angle};
    MVRenderer *r = mvCoreRenderer();
    r->spriteDraw(r->self, tex, &sprite, 1);
}

MV_API MVAtlasArea *mvAtlasAreaFromImage(MVAtlas *atlas, const MVImage *image, int padding) {
    if (!atlas || !image || !image->pixels || image->w <= 0 || image->h <= 0) {
        mvCoreSetError("mvAtlasAreaFromImage: %s", !atlas ? "no atlas" : "no image");
        return nullptr;
    }
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, image->w, image->h, padding);
    if (!area) {
        mvCoreSetError("mvAtlasAreaFromImage: no room for %d x %d pixels in the %d x %d atlas", image->w, image->h,
                       atlas->w, atlas->h);
        return nullptr;
    }
    mvAtlasAreaSetData(atlas, area, image->w, image->h, 32, image->pixels);
    return area;
}

}
