// Immediate-mode drawing calls, recorded by the front end through the
// current transform; lines wider than a pixel become triangles here.
#include <morven/draw.h>

#include <cmath>

#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/render/frame_size.h"
#include "core/render/frontend.h"
#include "core/render/transform.h"

namespace {

// NaN and values below 0 become 0, values above 1 become 1.
float clampComponent(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

float color[4] = {1, 1, 1, 1};  // the current colour, clamped, for the corners of wide lines

void setColor(float r, float g, float b, float a) {
    color[0] = clampComponent(r);
    color[1] = clampComponent(g);
    color[2] = clampComponent(b);
    color[3] = clampComponent(a);
    frontEnd().color(color[0], color[1], color[2], color[3]);
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
    size_t count;            // vertices given
    WideVertex first, last;  // the strip's first and latest vertex
} wide;

bool isLineMode(int mode) { return mode == MV_DRAW_LINES || mode == MV_DRAW_LINE_STRIP || mode == MV_DRAW_LINE_LOOP; }

void emit(const float rgba[4], double x, double y) {
    frontEnd().color(rgba[0], rgba[1], rgba[2], rgba[3]);
    float sx, sy;
    drawTransformPoint(static_cast<float>(x), static_cast<float>(y), &sx, &sy);
    frontEnd().vertex(sx, sy);
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
    frontEnd().color(color[0], color[1], color[2], color[3]);
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

void drawStateReset() {
    drawTransformReset();
    lineWidth = 1.0f;
    wide.open = false;
    color[0] = color[1] = color[2] = color[3] = 1.0f;
}

namespace {

int frameWidth, frameHeight;  // 0 x 0: unknown

}  // namespace

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

extern "C" {

MV_API void mvDrawBegin(int mode) {
    engineThreadCheck(__func__);
    wideEnd();
    if (lineWidth > 1.0f && isLineMode(mode)) {
        wide = {true, mode, 0, {}, {}};
        frontEnd().begin(MV_DRAW_TRIANGLES);
        return;
    }
    frontEnd().begin(mode);
}

MV_API void mvDrawVertex2f(float x, float y) {
    engineThreadCheck(__func__);
    if (wide.open) {
        wideVertex(x, y);
        return;
    }
    float sx, sy;
    drawTransformPoint(x, y, &sx, &sy);
    frontEnd().vertex(sx, sy);
}

MV_API void mvDrawEnd(void) {
    engineThreadCheck(__func__);
    wideEnd();
    frontEnd().end();
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
MV_API bool mvDrawBlend(int mode) {
    engineThreadCheck(__func__);
    if (mode < MV_BLEND_ALPHA || mode > MV_BLEND_NONE) {
        refuseArgument(__func__, "blend mode", "MV_BLEND_ALPHA, _ADD, _MULTIPLY or _NONE (0 to 3)", mode);
        return false;
    }
    wideEnd();
    frontEnd().blend(static_cast<uint32_t>(mode));
    return true;
}

MV_API int mvDrawGetBlend(void) { return static_cast<int>(frontEnd().blendMode()); }
MV_API void mvDrawClear(void) { engineThreadCheck(__func__); frontEnd().clear(); }
MV_API void mvDrawClearColor(float r, float g, float b) { engineThreadCheck(__func__); frontEnd().clearColor(r, g, b); }

}
