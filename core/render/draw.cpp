// Immediate-mode drawing calls, routed to the current renderer.
#include <morven/draw.h>

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
void nopSpriteDraw(void *, uint32_t, const MVSprite *, size_t) {}

MVRenderer nullRenderer = {nullptr,          nopMode,          nopVertex,         nopColor,       nop, nop,
                           nopTextureCreate, nopTextureUpdate, nopTextureDestroy, nopTextureDraw, nopReadPixels,
                           nop,              nopSpriteDraw,    nop};
MVRenderer *current = &nullRenderer;

}  // namespace

MVRenderer *mvCoreRenderer() { return current; }

MVRenderer *mvCoreSetRenderer(MVRenderer *r) {
    MVRenderer *previous = current;
    current = r ? r : &nullRenderer;
    return previous;
}

extern "C" {

MV_API void mvDrawBegin(int mode) { current->begin(current->self, mode); }
MV_API void mvDrawVertex2f(float x, float y) { current->vertex(current->self, x, y); }
MV_API void mvDrawEnd(void) { current->end(current->self); }
MV_API void mvDrawColor1f(float grey) { current->color(current->self, grey, grey, grey, 1.0f); }
MV_API void mvDrawColor2f(float grey, float alpha) { current->color(current->self, grey, grey, grey, alpha); }
MV_API void mvDrawColor3f(float r, float g, float b) { current->color(current->self, r, g, b, 1.0f); }
MV_API void mvDrawColor4f(float r, float g, float b, float a) { current->color(current->self, r, g, b, a); }
MV_API void mvDrawClear(void) { current->clear(current->self); }

}
