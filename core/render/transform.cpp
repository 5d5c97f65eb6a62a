// The transform stack of the drawing calls. The matrix is kept in double,
// so that long chains of calls do not drift, and each point is rounded to
// float once, after the whole product.
#include <morven/draw.h>

#include <cmath>

#include "core/base/engine_thread.h"
#include "core/render/transform.h"

namespace {

constexpr Transform kIdentity = {1, 0, 0, 1, 0, 0};
Transform stack[MV_DRAW_TRANSFORM_DEPTH];
int depth;  // transforms pushed
Transform current = kIdentity;
bool identity = true;

// current = current * m: m acts first, on the world side.
void apply(const Transform &m) {
    const Transform t = current;
    current.a = t.a * m.a + t.c * m.b;
    current.b = t.b * m.a + t.d * m.b;
    current.c = t.a * m.c + t.c * m.d;
    current.d = t.b * m.c + t.d * m.d;
    current.e = t.a * m.e + t.c * m.f + t.e;
    current.f = t.b * m.e + t.d * m.f + t.f;
    identity = current.a == 1 && current.b == 0 && current.c == 0 && current.d == 1 && current.e == 0 &&
               current.f == 0;
}

bool isFinite(double v) { return std::isfinite(v); }

}  // namespace

const Transform &drawTransform() { return current; }

void drawTransformSet(const Transform &t) {
    current = t;
    identity = t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1 && t.e == 0 && t.f == 0;
}

bool drawTransformIsIdentity() { return identity; }

void drawTransformPoint(float x, float y, float *outX, float *outY) {
    if (identity) {
        *outX = x;
        *outY = y;
        return;
    }
    *outX = static_cast<float>(current.a * x + current.c * y + current.e);
    *outY = static_cast<float>(current.b * x + current.d * y + current.f);
}

void drawTransformSprite(MVSprite *s) {
    if (identity) return;
    const Transform &t = current;
    double cx = std::cos(double(s->angle)), sn = std::sin(double(s->angle));
    // The sprite's own axes (unit vectors along its width and height) on screen.
    double ux = t.a * cx + t.c * sn, uy = t.b * cx + t.d * sn;
    double vx = -t.a * sn + t.c * cx, vy = -t.b * sn + t.d * cx;
    double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    double det = ux * vy - uy * vx;
    float x = s->x, y = s->y;
    drawTransformPoint(x, y, &s->x, &s->y);
    s->w = static_cast<float>(s->w * lu);
    s->h = static_cast<float>(s->h * (det < 0 ? -lv : lv));
    s->angle = static_cast<float>(std::atan2(uy, ux));
}

void drawTransformReset() {
    depth = 0;
    current = kIdentity;
    identity = true;
}

extern "C" {

MV_API bool mvDrawPushTransform(void) {
    engineThreadCheck(__func__);
    if (depth == MV_DRAW_TRANSFORM_DEPTH) return false;
    stack[depth++] = current;
    return true;
}

MV_API bool mvDrawPopTransform(void) {
    engineThreadCheck(__func__);
    if (depth == 0) return false;
    current = stack[--depth];
    apply(kIdentity);  // works out whether it is the identity
    return true;
}

MV_API void mvDrawResetTransform(void) {
    engineThreadCheck(__func__);
    current = kIdentity;
    identity = true;
}

MV_API void mvDrawTranslate2f(float x, float y) {
    engineThreadCheck(__func__);
    if (!isFinite(x) || !isFinite(y)) return;
    apply({1, 0, 0, 1, x, y});
}

MV_API void mvDrawRotate(float angle) {
    engineThreadCheck(__func__);
    if (!isFinite(angle)) return;
    double c = std::cos(double(angle)), s = std::sin(double(angle));
    apply({c, s, -s, c, 0, 0});
}

MV_API void mvDrawScale2f(float sx, float sy) {
    engineThreadCheck(__func__);
    if (!isFinite(sx) || !isFinite(sy)) return;
    apply({sx, 0, 0, sy, 0, 0});
}

MV_API bool mvDrawToScreen2f(float x, float y, float *screenX, float *screenY) {
    engineThreadCheck(__func__);
    if (!screenX || !screenY) return false;
    drawTransformPoint(x, y, screenX, screenY);
    return true;
}

MV_API bool mvDrawToWorld2f(float x, float y, float *worldX, float *worldY) {
    engineThreadCheck(__func__);
    if (!worldX || !worldY) return false;
    const Transform &t = current;
    double det = t.a * t.d - t.b * t.c;
    if (!(det != 0) || !isFinite(det)) return false;
    double dx = x - t.e, dy = y - t.f;
    *worldX = static_cast<float>((t.d * dx - t.c * dy) / det);
    *worldY = static_cast<float>((-t.b * dx + t.a * dy) / det);
    return true;
}

}
