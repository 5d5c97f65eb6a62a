// Immediate-mode drawing calls, routed to the current renderer.
#include <morven/draw.h>

#include "core/base/engine_thread.h"
#include "core/render/frame_size.h"
#include "core/render/renderer.h"

namespace {

void nopMode(void *, int) {}
void nopVertex(void *, float, float) {}
void nopColor(void *, float, float, float, float) {}
void nop(void *) {}
uint32_t nopTextureCreate(void *, int, int) { return 0; }
void nopTextureUpdate(void *, uint32_t, int, int, int, int, const uint8_t *) {}
void nopTextureDestroy(void *, uint32_t) {}
void nopTextureDraw(void *, uint32_t, float, float, float, float) {}
bool nopReadPixels(void *, uint8_t *, int, int) { return false; }
void nopClearColor(void *, float, float, float) {}
void nopSpriteDraw(void *, uint32_t, const MVSprite *, size_t) {}

MVRenderer nullRenderer = {nullptr,          nopMode,          nopVertex,         nopColor,       nop, nop,
                           nopTextureCreate, nopTextureUpdate, nopTextureDestroy, nopTextureDraw, nopReadPixels,
                           nop,              nopClearColor,    nopSpriteDraw,     nop};
MVRenderer *current = &nullRenderer;
float clearRgb[3];  // kept here, so it holds for renderers installed later
int frameWidth, frameHeight;  // 0 x 0: unknown

// NaN and values below 0 become 0, values above 1 become 1.
float clampComponent(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

void setColor(float r, float g, float b, float a) {
    current->color(current->self, clampComponent(r), clampComponent(g), clampComponent(b), clampComponent(a));
}

}  // namespace

MVRenderer *mvCoreRenderer() { return current; }

MVRenderer *mvCoreSetRenderer(MVRenderer *r) {
    MVRenderer *previous = current;
    current = r ? r : &nullRenderer;
    if (current->clearColor) current->clearColor(current->self, clearRgb[0], clearRgb[1], clearRgb[2]);
    return previous;
}

void drawSetFrameSize(int w, int h) {
    bool known = w > 0 && h > 0;
    frameWidth = known ? w : 0;
    frameHeight = known ? h : 0;
}

bool drawFrameSize(int *w, int *h) {
    *w = frameWidth;
    *h = frameHeight;
    return frameWidth > 0;
}

void mvCoreResetClearColor() { mvDrawClearColor(0.0f, 0.0f, 0.0f); }

extern "C" {

MV_API void mvDrawBegin(int mode) { engineThreadCheck(__func__); current->begin(current->self, mode); }
MV_API void mvDrawVertex2f(float x, float y) { engineThreadCheck(__func__); current->vertex(current->self, x, y); }
MV_API void mvDrawEnd(void) { engineThreadCheck(__func__); current->end(current->self); }
MV_API void mvDrawColor1f(float grey) { engineThreadCheck(__func__); setColor(grey, grey, grey, 1.0f); }
MV_API void mvDrawColor2f(float grey, float alpha) { engineThreadCheck(__func__); setColor(grey, grey, grey, alpha); }
MV_API void mvDrawColor3f(float r, float g, float b) { engineThreadCheck(__func__); setColor(r, g, b, 1.0f); }
MV_API void mvDrawColor4f(float r, float g, float b, float a) { engineThreadCheck(__func__); setColor(r, g, b, a); }
MV_API void mvDrawClear(void) { engineThreadCheck(__func__); current->clear(current->self); }

MV_API void mvDrawClearColor(float r, float g, float b) {
    engineThreadCheck(__func__);
    clearRgb[0] = clampComponent(r);
    clearRgb[1] = clampComponent(g);
    clearRgb[2] = clampComponent(b);
    if (current->clearColor) current->clearColor(current->self, clearRgb[0], clearRgb[1], clearRgb[2]);
}

}
