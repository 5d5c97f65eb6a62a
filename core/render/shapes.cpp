// Rectangles and circles, filled and outlined, made of triangles through
// the drawing calls (so the current transform and colour apply). Shapes of
// triangles that share their edges cover each pixel once.
#include <morven/draw.h>

#include <cmath>

#include "core/base/engine_thread.h"
#include "core/render/transform.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

bool finite(float a, float b, float c, float d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

void quad(float left, float top, float right, float bottom) {
    mvDrawVertex2f(left, top);
    mvDrawVertex2f(right, top);
    mvDrawVertex2f(left, bottom);
    mvDrawVertex2f(right, top);
    mvDrawVertex2f(right, bottom);
    mvDrawVertex2f(left, bottom);
}

// The corners of a rectangle given by a corner and a size of either sign.
void corners(float x, float y, float w, float h, float *left, float *top, float *right, float *bottom) {
    *left = w < 0 ? x + w : x;
    *right = w < 0 ? x : x + w;
    *top = h < 0 ? y + h : y;
    *bottom = h < 0 ? y : y + h;
}

// The number of sides of a polygon standing for a circle of that radius
// (in the world; the transform's scale makes it window pixels): enough that
// no side lies more than a quarter pixel inside the circle.
int circleSides(double radius) {
    const Transform &t = drawTransform();
    radius *= std::sqrt(std::fabs(t.a * t.d - t.b * t.c));
    if (!(radius > 0.25)) return 8;
    double step = 2 * std::acos(1 - 0.25 / radius);
    double sides = std::ceil(2 * kPi / step);
    return sides < 8 ? 8 : sides > 4096 ? 4096 : static_cast<int>(sides);
}

// Corner k of n on a circle; the last equals the first exactly.
void onCircle(float x, float y, double radius, int k, int n, float *px, float *py) {
    double angle = 2 * kPi * (k % n) / n;
    *px = static_cast<float>(x + radius * std::cos(angle));
    *py = static_cast<float>(y + radius * std::sin(angle));
}

}  // namespace

extern "C" {

MV_API void mvDrawRect(float x, float y, float w, float h) {
    engineThreadCheck(__func__);
    if (!finite(x, y, w, h)) return;
    float left, top, right, bottom;
    corners(x, y, w, h, &left, &top, &right, &bottom);
    mvDrawBegin(MV_DRAW_TRIANGLES);
    quad(left, top, right, bottom);
    mvDrawEnd();
}

MV_API void mvDrawRectLines(float x, float y, float w, float h) {
    engineThreadCheck(__func__);
    if (!finite(x, y, w, h)) return;
    float left, top, right, bottom;
    corners(x, y, w, h, &left, &top, &right, &bottom);
    float t = mvDrawGetLineWidth();
    mvDrawBegin(MV_DRAW_TRIANGLES);
    if (2 * t >= right - left || 2 * t >= bottom - top) {
        quad(left, top, right, bottom);  // the border fills it
    } else {
        quad(left, top, right, top + t);
        quad(left, bottom - t, right, bottom);
        quad(left, top + t, left + t, bottom - t);
        quad(right - t, top + t, right, bottom - t);
    }
    mvDrawEnd();
}

MV_API void mvDrawCircle(float x, float y, float radius) {
    engineThreadCheck(__func__);
    if (!finite(x, y, radius, 0) || !(radius > 0)) return;
    int n = circleSides(radius);
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);
    mvDrawVertex2f(x, y);
    for (int k = 0; k <= n; k++) {
        float px, py;
        onCircle(x, y, radius, k, n, &px, &py);
        mvDrawVertex2f(px, py);
    }
    mvDrawEnd();
}

MV_API void mvDrawCircleLines(float x, float y, float radius) {
    engineThreadCheck(__func__);
    if (!finite(x, y, radius, 0) || !(radius > 0)) return;
    double half = 0.5 * mvDrawGetLineWidth();
    double outer = radius + half, inner = radius - half;
    if (!(inner > 0)) {
        mvDrawCircle(x, y, static_cast<float>(outer));
        return;
    }
    int n = circleSides(outer);
    mvDrawBegin(MV_DRAW_TRIANGLE_STRIP);
    for (int k = 0; k <= n; k++) {
        float ox, oy, ix, iy;
        onCircle(x, y, outer, k, n, &ox, &oy);
        onCircle(x, y, inner, k, n, &ix, &iy);
        mvDrawVertex2f(ox, oy);
        mvDrawVertex2f(ix, iy);
    }
    mvDrawEnd();
}

}
