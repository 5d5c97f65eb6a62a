// Texture atlases: an RGBA image in memory, the packer that hands out its
// areas, and a texture in the current renderer, refreshed when drawn after a
// change.
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/error.h>
#include <pthread.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/atlas/area_set.h"
#include "core/atlas/atlas_internal.h"
#include "core/atlas/packer.h"
#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/render/frontend.h"
#include "core/render/transform.h"

namespace {

struct Area {
    MVAtlasArea pub;  // first member: callers hold its address
    PackRect footprint;
    int where;                    // the packer's place of the footprint
    uint16_t writtenW, writtenH;  // the part written to, from the area's corner
};

}  // namespace

// An atlas belongs to one thread at a time, the caller's; only the fields
// marked "registry" are shared with the engine, under registryLock.
struct MVAtlas {
    int w, h;
    uint8_t *pixels;
    Packer packer;
    AreaSet areas;
    uint64_t covered;  // pixels of the areas
    // The texture, made and used on the thread that draws the atlas.
    uint32_t tex;
    int dirtyTop, dirtyBottom;  // rows to upload: [top, bottom); empty when equal
    // Registry: an atlas with a texture is listed so that the engine can
    // drop the texture before its renderer goes.
    MVRenderer *texRenderer;  // where tex lives; null: no texture, not listed
    pthread_t texThread;      // the thread that made it
    bool orphaned;            // destroyed by another thread: only the texture is left
    bool refused;             // the renderer would not make its texture: said once
    MVAtlas *prev, *next;
};

namespace {

pthread_mutex_t registryLock = PTHREAD_MUTEX_INITIALIZER;

// Holds registryLock for the life of a scope.
struct RegistryHold {
    RegistryHold() { pthread_mutex_lock(&registryLock); }
    ~RegistryHold() { pthread_mutex_unlock(&registryLock); }
    RegistryHold(const RegistryHold &) = delete;
    RegistryHold &operator=(const RegistryHold &) = delete;
};
MVAtlas *textured = nullptr;  // atlases with a texture (registry)
std::atomic<int> orphans{0};  // how many of them were destroyed

void link(MVAtlas *a) {
    a->prev = nullptr;
    a->next = textured;
    if (textured) textured->prev = a;
    textured = a;
}

void unlink(MVAtlas *a) {
    if (a->prev) a->prev->next = a->next;
    else textured = a->next;
    if (a->next) a->next->prev = a->prev;
    a->prev = a->next = nullptr;
}

void markDirty(MVAtlas *a, int top, int bottom) {
    if (a->dirtyTop == a->dirtyBottom) {
        a->dirtyTop = top;
        a->dirtyBottom = bottom;
        return;
    }
    if (top < a->dirtyTop) a->dirtyTop = top;
    if (bottom > a->dirtyBottom) a->dirtyBottom = bottom;
}

Area *areaOf(const MVAtlas *a, MVAtlasArea *area) {
    return areaSetHas(&a->areas, area) ? reinterpret_cast<Area *>(area) : nullptr;
}

uint8_t *pixel(const MVAtlas *a, int x, int y) { return a->pixels + 4 * (static_cast<size_t>(y) * a->w + x); }

// Makes sure the current renderer holds an up-to-date texture of the atlas.
uint32_t texture(MVAtlas *a) {
    FrontEnd &f = frontEnd();
    MVRenderer *r = f.renderer();
    if (a->texRenderer != r) {
        // A texture in another renderer is forgotten, not destroyed: that
        // renderer may be gone (the engine drops textures before it destroys one).
        uint32_t tex = f.textureCreate(a->w, a->h);
        int most = f.maxTextureSize();  // 0: no window, where nothing is drawn anyway
        if (!tex && most > 0 && !a->refused) {
            // Said once, not at every draw: the atlas stays undrawn in this renderer.
            if (a->w > most || a->h > most)
                setError("drawing an atlas: the %d x %d atlas is larger than the renderer's largest texture "
                               "(%d on a side); it is not drawn", a->w, a->h, most);
            else
                setError("drawing an atlas: the renderer made no %d x %d texture for the atlas; it is not drawn",
                               a->w, a->h);
            fprintf(stderr, "MORVEN: %s\n", mvGetError());
            a->refused = true;
        }
        RegistryHold hold;
        if (a->texRenderer) unlink(a);
        a->tex = tex;
        a->texRenderer = tex ? r : nullptr;
        if (!tex) return 0;
        a->texThread = pthread_self();
        link(a);
        a->dirtyTop = 0;
        a->dirtyBottom = a->h;
    }
    if (a->dirtyTop < a->dirtyBottom) {
        f.textureUpdate(a->tex, 0, a->dirtyTop, a->w, a->dirtyBottom - a->dirtyTop, pixel(a, 0, a->dirtyTop));
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
    for (size_t i = 0; i < a->areas.capacity; i++) {
        if (!a->areas.slots[i]) continue;
        const MVAtlasArea &r = static_cast<const Area *>(a->areas.slots[i])->pub;
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

void freeContents(MVAtlas *a) {
    for (size_t i = 0; i < a->areas.capacity; i++) free(a->areas.slots[i]);
    areaSetRelease(&a->areas);
    packerRelease(&a->packer);
    free(a->pixels);
    a->pixels = nullptr;
}

// Drops the textures of the listed atlases in renderer r, or only those of
// the atlases that were destroyed on other threads (whose records go too).
void dropTextures(MVRenderer *r, bool all) {
    RegistryHold hold;
    for (MVAtlas *a = textured, *next; a; a = next) {
        next = a->next;
        if (!all && !a->orphaned) continue;
        if (a->texRenderer == r) r->textureDestroy(r->self, a->tex);
        else if (!a->orphaned) continue;
        unlink(a);
        a->tex = 0;
        a->texRenderer = nullptr;
        if (a->orphaned) {
            orphans--;
            free(a);
        }
    }
}

// The area being drawn into (engine thread): atlas null when none is.
struct Drawing {
    MVAtlas *atlas;
    const MVAtlasArea *area;
    MVAtlasArea rect;      // the area as it was at the start
    MVRenderer *renderer;  // that draws into it
    Transform saved;       // the transform in force at the start
} drawing;

// Ends the drawing into an area: what was drawn is read back into the
// atlas' image when `keep` says so and the area is still there, then the
// frame is the target again. False, with a reason, when the pixels could
// not be read back.
bool endDrawing(bool keep) {
    MVAtlas *a = drawing.atlas;
    drawing.atlas = nullptr;
    FrontEnd &f = frontEnd();
    bool kept = true;
    if (f.renderer() == drawing.renderer) {
        bool orphaned;
        {
            RegistryHold hold;
            orphaned = a->orphaned;
        }
        Area *own = keep && !orphaned ? areaOf(a, const_cast<MVAtlasArea *>(drawing.area)) : nullptr;
        if (own) {
            const MVAtlasArea &r = drawing.rect;
            size_t row = 4 * static_cast<size_t>(r.w);
            uint8_t *rgba = static_cast<uint8_t *>(malloc(row * r.h));
            kept = rgba && f.readPixels(rgba, r.w, r.h);
            if (kept) {
                for (int y = 0; y < r.h; y++) memcpy(pixel(a, r.x, r.y + y), rgba + row * y, row);
                own->writtenW = r.w;
                own->writtenH = r.h;
                markDirty(a, r.y, r.y + r.h);
            } else {
                setError("mvAtlasEndDraw: %s; the area keeps its pixels",
                         rgba ? "the renderer could not draw into the atlas" : "out of memory");
            }
            free(rgba);
        }
        f.target(0, 0, 0, 0, 0);
    }
    drawTransformSet(drawing.saved);
    return kept;
}

// Whether the atlas is being drawn into, which a draw from it may not be;
// says so in mvGetError for the call named.
bool beingDrawnInto(const MVAtlas *a, const char *call) {
    if (a != drawing.atlas) return false;
    setError("%s: the atlas is being drawn into (mvAtlasBeginDraw); it is not drawn from", call);
    return true;
}

}  // namespace

void atlasEndDrawing() {
    if (drawing.atlas) endDrawing(true);
}

void atlasDropTextures(MVRenderer *r) { dropTextures(r, true); }

void atlasCollectDestroyed(MVRenderer *r) {
    if (orphans.load() > 0) dropTextures(r, false);
}

void atlasDrawSprites(MVAtlas *atlas, MVSprite *sprites, size_t count) {
    if (!atlas || count == 0) return;
    uint32_t tex = texture(atlas);
    if (!tex) return;
    for (size_t i = 0; i < count; i++) drawTransformSprite(&sprites[i]);
    frontEnd().sprites(tex, sprites, count);
}

extern "C" {

MV_API MVAtlas *mvAtlasCreate(int width, int height, int bpp) {
    if (bpp != 32) {
        refuseArgument(__func__, "bits per pixel", "32", bpp);
        return nullptr;
    }
    if (width <= 0 || height <= 0 || width > 65535 || height > 65535) {
        setError("mvAtlasCreate: unsupported size %d x %d (1 to 65535 pixels a side)", width, height);
        return nullptr;
    }
    int most = rendererTextureLimit();
    if (most > 0 && (width > most || height > most)) {
        setError("mvAtlasCreate: %d x %d is larger than the renderer's largest texture (%d on a side)", width,
                 height, most);
        return nullptr;
    }
    MVAtlas *a = static_cast<MVAtlas *>(calloc(1, sizeof(MVAtlas)));
    // Zero pages are mapped on first touch: rows never written cost nothing.
    if (a) a->pixels = static_cast<uint8_t *>(calloc(static_cast<size_t>(width) * height, 4));
    if (!a || !a->pixels || !packerInit(&a->packer, width, height)) {
        if (a) free(a->pixels);
        free(a);
        setError("mvAtlasCreate: out of memory for %d x %d pixels", width, height);
        return nullptr;
    }
    a->w = width;
    a->h = height;
    return a;
}

MV_API void mvAtlasDestroy(MVAtlas *atlas) {
    if (!atlas) return;
    if (atlas == drawing.atlas) endDrawing(false);
    freeContents(atlas);
    {
        RegistryHold hold;
        if (atlas->texRenderer && !pthread_equal(atlas->texThread, pthread_self())) {
            // The renderer belongs to the drawing thread: it drops the texture
            // and this record at its next frame.
            atlas->orphaned = true;
            orphans++;
            return;
        }
        if (atlas->texRenderer) unlink(atlas);
    }
    if (atlas->texRenderer && atlas->texRenderer == frontEnd().renderer()) frontEnd().textureDestroy(atlas->tex);
    free(atlas);
}

MV_API MVAtlasArea *mvAtlasAreaReserve(MVAtlas *atlas, int64_t w, int64_t h, int64_t padding) {
    if (!atlas) {
        setError("mvAtlasAreaReserve: no atlas");
        return nullptr;
    }
    if (w <= 0 || h <= 0 || w > atlas->w || h > atlas->h || padding < 0 || padding > 65535) {
        setError("mvAtlasAreaReserve: an area of %lld x %lld pixels with padding %lld does not apply to a %d x %d "
                       "atlas",
                       static_cast<long long>(w), static_cast<long long>(h), static_cast<long long>(padding), atlas->w,
                       atlas->h);
        return nullptr;
    }
    Area *area = areaSetReserve(&atlas->areas) ? static_cast<Area *>(malloc(sizeof(Area))) : nullptr;
    if (!area) {
        setError("mvAtlasAreaReserve: out of memory");
        return nullptr;
    }
    PackRect placed;
    if (!packerInsert(&atlas->packer, static_cast<int>(w), static_cast<int>(h), static_cast<int>(padding), &placed,
                      &area->footprint, &area->where)) {
        free(area);
        setError("mvAtlasAreaReserve: no room for %lld x %lld pixels (padding %lld) in the %d x %d atlas",
                       static_cast<long long>(w), static_cast<long long>(h), static_cast<long long>(padding), atlas->w,
                       atlas->h);
        return nullptr;
    }
    area->pub = {static_cast<uint16_t>(placed.x), static_cast<uint16_t>(placed.y), static_cast<uint16_t>(w),
                 static_cast<uint16_t>(h)};
    area->writtenW = area->writtenH = 0;
    areaSetAdd(&atlas->areas, area);
    atlas->covered += static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    return &area->pub;
}

MV_API bool mvAtlasAreaSetData(MVAtlas *atlas, MVAtlasArea *area, int w, int h, int bpp, const void *pixels) {
    Area *own = atlas ? areaOf(atlas, area) : nullptr;
    if (bpp != 32) {
        refuseArgument(__func__, "bits per pixel", "32", bpp);
        return false;
    }
    if (!own || !pixels || w <= 0 || h <= 0) {
        setError("mvAtlasAreaSetData: %s", !atlas  ? "no atlas"
                                                 : !own  ? "the area is not one of this atlas"
                                                 : !pixels ? "no pixels"
                                                           : "the pixels have no size");
        return false;
    }
    int cw = w < area->w ? w : area->w, ch = h < area->h ? h : area->h;
    const uint8_t *src = static_cast<const uint8_t *>(pixels);
    for (int row = 0; row < ch; row++)
        memcpy(pixel(atlas, area->x, area->y + row), src + 4 * static_cast<size_t>(row) * w,
               4 * static_cast<size_t>(cw));
    if (cw > own->writtenW) own->writtenW = static_cast<uint16_t>(cw);
    if (ch > own->writtenH) own->writtenH = static_cast<uint16_t>(ch);
    markDirty(atlas, area->y, area->y + ch);
    return true;
}

MV_API void mvAtlasAreaRelease(MVAtlas *atlas, MVAtlasArea *area) {
    Area *own = atlas ? areaOf(atlas, area) : nullptr;
    if (!own) return;
    if (atlas == drawing.atlas && area == drawing.area) endDrawing(false);
    // Only what was written needs clearing: the rest is still transparent.
    for (int row = 0; row < own->writtenH; row++)
        memset(pixel(atlas, area->x, area->y + row), 0, 4 * static_cast<size_t>(own->writtenW));
    if (own->writtenH) markDirty(atlas, area->y, area->y + own->writtenH);
    packerRemove(&atlas->packer, own->footprint, own->where);
    atlas->covered -= static_cast<uint64_t>(area->w) * area->h;
    areaSetRemove(&atlas->areas, own);
    free(own);
}

MV_API double mvAtlasOccupancy(const MVAtlas *atlas) {
    if (!atlas) return 0.0;
    return double(atlas->covered) / (double(atlas->w) * atlas->h);
}

MV_API void mvAtlasDrawDBG(MVAtlas *atlas, float x, float y, int flags, int what) {
    engineThreadCheck(__func__);
    static int flagsWarned;
    if (flags != 0) ignoreArgument(&flagsWarned, __func__, "flags", "0", flags);
    if (!atlas || beingDrawnInto(atlas, __func__)) return;
    if (what == MV_ATLAS_DRAW_IMAGE) {
        // The whole atlas at its own size, as a sprite.
        uint32_t tex = texture(atlas);
        float w = float(atlas->w), h = float(atlas->h);
        MVSprite sprite = {0, 0, atlas->w, atlas->h, x + w * 0.5f, y + h * 0.5f, w, h, 0.0f};
        drawTransformSprite(&sprite);
        if (tex) frontEnd().sprites(tex, &sprite, 1);
    } else if (what == MV_ATLAS_DRAW_FRAMES) {
        drawFrames(atlas, x, y);
    }
}

MV_API void mvAtlasDrawArea(MVAtlas *atlas, const MVAtlasArea *area, float x, float y, float w, float h,
                            float angle) {
    engineThreadCheck(__func__);
    if (!atlas || !area || w == 0 || h == 0 || !std::isfinite(x + y + w + h + angle)) return;
    // The record is the caller's: only what lies inside the atlas is drawn from.
    if (area->w == 0 || area->h == 0 || area->x + area->w > atlas->w || area->y + area->h > atlas->h) return;
    if (beingDrawnInto(atlas, __func__)) return;
    uint32_t tex = texture(atlas);
    if (!tex) return;
    MVSprite sprite = {area->x, area->y, area->w, area->h, x, y, w, h, angle};
    drawTransformSprite(&sprite);
    frontEnd().sprites(tex, &sprite, 1);
}

MV_API bool mvAtlasBeginDraw(MVAtlas *atlas, const MVAtlasArea *area) {
    engineThreadCheck(__func__);
    const char *why = !atlas                                          ? "no atlas"
                      : !area                                         ? "no area"
                      : !areaOf(atlas, const_cast<MVAtlasArea *>(area)) ? "the area is not one of this atlas"
                      : drawing.atlas ? "an area is being drawn into already (mvAtlasEndDraw ends it)"
                      : frontEnd().maxTextureSize() <= 0 ? "no window is open"
                                                         : nullptr;
    if (why) {
        setError("mvAtlasBeginDraw: %s", why);
        return false;
    }
    uint32_t tex = texture(atlas);
    if (!tex) {
        setError("mvAtlasBeginDraw: the renderer made no texture for the %d x %d atlas", atlas->w, atlas->h);
        return false;
    }
    drawing = {atlas, area, *area, frontEnd().renderer(), drawTransform()};
    frontEnd().target(tex, area->x, area->y, area->w, area->h);
    drawTransformSet({1, 0, 0, 1, 0, 0});
    return true;
}

MV_API bool mvAtlasEndDraw(void) {
    engineThreadCheck(__func__);
    if (!drawing.atlas) {
        setError("mvAtlasEndDraw: no area is being drawn into");
        return false;
    }
    return endDrawing(true);
}

MV_API MVAtlasArea *mvAtlasAreaFromImage(MVAtlas *atlas, const MVImage *image, int padding) {
    if (!atlas || !image || !image->pixels || image->w <= 0 || image->h <= 0) {
        setError("mvAtlasAreaFromImage: %s", !atlas ? "no atlas" : "no image");
        return nullptr;
    }
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, image->w, image->h, padding);
    if (!area) {
        // The reserve's reason, under this call's name.
        char why[256];
        const char *reason = mvGetError();
        const char *prefix = "mvAtlasAreaReserve: ";
        snprintf(why, sizeof why, "%s", strncmp(reason, prefix, strlen(prefix)) ? reason : reason + strlen(prefix));
        setError("mvAtlasAreaFromImage: %s", why);
        return nullptr;
    }
    mvAtlasAreaSetData(atlas, area, image->w, image->h, 32, image->pixels);
    return area;
}

}
