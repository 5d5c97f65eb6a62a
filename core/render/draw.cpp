// Immediate-mode drawing calls, routed to the current renderer.
#include <morven/draw.h>

#include "core/base/engine_thread.h"
#include "core/render/renderer.h"
#include "core/render/transform.h"

#include <cmath>

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

// NaN and values below 0 become 0, values above 1 become 1.
float clampComponent(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

float color[4] = {1, 1, 1, 1};  // the current colour, clamped

void setColor(float r, float g, float b, float a) {
    color[0] = clampComponent(r);
    color[1] = clampComponent(g);
    color[2] = clampComponent(b);
    color[3] = clampComponent(a);
    current->color(current->self, color[0], color[1], color[2], color[3]);
}

// Lines wider than one pixel: each segment becomes a rectangle of two
// triangles, worked out in world coordinates and transformed corner by corner.
float lineWidth = 1.0f;
struct WideVertex {
    float x, y;
    float rgba[4];
};
struct WideLine {
    bool open;
    int mode;
    size_t count;              // vertices given
    WideVertex first, last;    // the strip's first and latest vertex
} wide;

bool isLineMode(int mode) {
    return mode == MV_DRAW_LINES || mode == MV_DRAW_LINE_STRIP || mode == MV_DRAW_LINE_LOOP;
}

void emit(const float rgba[4], double x, double y) {
    current->color(current->self, rgba[0], rgba[1], rgba[2], rgba[3]);
    float sx, sy;
    drawTransformPoint(static_cast<float>(x), static_cast<float>(y), &sx, &sy);
    current->vertex(current->self, sx, sy);
}

void wideSegment(const WideVertex &p, const WideVertex &q) {
    double dx = double(q.x) - p.x, dy = double(q.y) - p.y, length = std::hypot(dx, dy);
    if (!(length > 0) || !std::isfinite(length)) return;
    double nx = -dy / length * (0.5 * lineWidth), ny = dx / length * (0.5 * lineWidth);
    emit(p.rgba, p.x + nx, p.y + ny);
    emit(q.rgba, q.x + nx, q.y + ny);
    emit(q.rgba, q.x - nx, q.y - ny);
    emit(p.rgba, p.x + nx, p.y + ny);
    emit(q.rgba, q.x - nx, q.y - ny);
    emit(p.rgba, p.x - nx, p.y - ny);
    current->color(current->self, color[0], color[1], color[2], color[3]);
}

void wideVertex(float x, float y) {
    WideVertex v = {x, y, {color[0], color[1], color[2], color[3]}};
    if (wide.count == 0) wide.first = v;
    bool pairEnd = wide.mode != MV_DRAW_LINES || wide.count % 2 == 1;
    if (wide.count > 0 && pairEnd) wideSegment(wide.last, v);
    wide.last = v;
    wide.count++;
}

// Closes a wide loop: its last segment goes back to the first vertex.
void wideEnd() {
    if (wide.open && wide.mode == MV_DRAW_LINE_LOOP && wide.count > 2) wideSegment(wide.last, wide.first);
    wide.open = false;
}

}  // namespace

MVRenderer *mvCoreRenderer() { return current; }

MVRenderer *mvCoreSetRenderer(MVRenderer *r) {
    MVRenderer *previous = current;
    current = r ? r : &nullRenderer;
    if (current->clearColor) current->clearColor(current->self, clearRgb[0], clearRgb[1], clearRgb[2]);
    return previous;
}

void mvCoreResetClearColor() {
    mvDrawClearColor(0.0f, 0.0f, 0.0f);
    drawTransformReset();
    lineWidth = 1.0f;
    wide.open = false;
}

extern "C" {

MV_API void mvDrawBegin(int mode) {
    engineThreadCheck(__func__);
    wideEnd();
    if (lineWidth > 1.0f && isLineMode(mode)) {
        wide = {true, mode, 0, {}, {}};
        current->begin(current->self, MV_DRAW_TRIANGLES);
        return;
    }
    current->begin(current->self, mode);
}

MV_API void mvDrawVertex2f(float x, float y) {
    engineThreadCheck(__func__);
    if (wide.open) {
        wideVertex(x, y);
        return;
    }
    float sx, sy;
    drawTransformPoint(x, y, &sx, &sy);
    current->vertex(current->self, sx, sy);
}

MV_API void mvDrawEnd(void) {
    engineThreadCheck(__func__);
    wideEnd();
    current->end(current->self);
}

MV_API void mvDrawLineWidth(float width) {
    engineThreadCheck(__func__);
    lineWidth = width > 1.0f ? (width < 1e6f ? width : 1e6f) : 1.0f;
}

MV_API float mvDrawGetLineWidth(void) { return lineWidth; }
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
