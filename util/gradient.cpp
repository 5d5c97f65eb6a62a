// Gradient: stops in strictly increasing key order, sampled by a function
// pointer held in the record.
#include <morven/gradient.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"

static_assert(offsetof(MVGradient, numvals) == 0 && sizeof(MVGradient::numvals) == 8,
              "MVGradient layout is part of the ABI");
static_assert(offsetof(MVGradient, vals) == 8 && offsetof(MVGradient, interp) == 16 &&
                  sizeof(MVGradient) == 24,
              "MVGradient layout is part of the ABI");

namespace {

// Two neighbouring stops around a position, with the fraction between them.
struct Segment {
    uint64_t index;  // of the lower stop; the upper one is index + 1
    float y1, y2, t;
};

// The sampling frame shared by the built-in functions. Returns true with the
// segment filled when x lies between two stops; otherwise false with the held
// value in `held` (the first stop's below the first key, the last stop's at or
// beyond the last key, 0 without stops).
bool locate(MVGradient *g, float x, Segment *segment, float *held) {
    const MVVec2 *found = _mvGradientFindMin(g, x);
    if (!found) {
        *held = g->numvals ? g->vals[0].y : 0.0f;
        return false;
    }
    uint64_t index = static_cast<uint64_t>(found - g->vals);
    if (index + 1 == g->numvals) {
        *held = found->y;
        return false;
    }
    const MVVec2 &next = g->vals[index + 1];
    segment->index = index;
    segment->y1 = found->y;
    segment->y2 = next.y;
    segment->t = (x - found->x) / (next.x - found->x);
    return true;
}

// Resizes the stop array to count stops; no stops free it and leave null
// (realloc to zero bytes differs between C libraries). Returns false, with the
// array untouched, when refused.
bool resizeStops(MVGradient *g, uint64_t count) {
    size_t bytes = static_cast<size_t>(count) * sizeof(MVVec2);
    if (bytes == 0) {
        std::free(g->vals);
        g->vals = nullptr;
        return true;
    }
    void *resized = std::realloc(g->vals, bytes);
    if (!resized) return false;
    g->vals = static_cast<MVVec2 *>(resized);
    return true;
}

void removeAt(MVGradient *g, uint64_t index) {
    uint64_t n = g->numvals;
    MVVec2 removed = g->vals[index];
    size_t tail = static_cast<size_t>(n - index - 1) * sizeof(MVVec2);
    std::memmove(g->vals + index, g->vals + index + 1, tail);
    if (!resizeStops(g, n - 1)) {
        // The block still holds n stops: undo the move so nothing is lost.
        std::memmove(g->vals + index + 1, g->vals + index, tail);
        g->vals[index] = removed;
        return;
    }
    g->numvals = n - 1;
}

}  // namespace

extern "C" {

MV_API MVGradient *mvGradientCreate(void) {
    MVGradient *g = static_cast<MVGradient *>(std::malloc(sizeof(MVGradient)));
    if (g) g->vals = static_cast<MVVec2 *>(std::malloc(2 * sizeof(MVVec2)));
    if (!g || !g->vals) {
        std::free(g);
        mvCoreSetError("gradient: out of memory");
        return nullptr;
    }
    g->numvals = 2;
    g->vals[0] = mvVec2f(0.0f, 0.0f);
    g->vals[1] = mvVec2f(1.0f, 1.0f);
    g->interp = _mvGradientInterpLinear;
    return g;
}

MV_API void mvGradientDestroy(MVGradient *gradient) {
    if (!gradient) return;
    std::free(gradient->vals);
    std::free(gradient);
}

MV_API void mvGradientSetInterp(MVGradient *gradient, int32_t mode) {
    switch (mode) {
        case MV_GRADIENT_NEAREST: gradient->interp = _mvGradientInterpNearest; break;
        case MV_GRADIENT_LINEAR: gradient->interp = _mvGradientInterpLinear; break;
        case MV_GRADIENT_COSINE: gradient->interp = _mvGradientInterpCosine; break;
        case MV_GRADIENT_CUBIC: gradient->interp = _mvGradientInterpCubic; break;
        default: break;
    }
}

MV_API void mvGradientSetInterpFunc(MVGradient *gradient, MVGradientInterpFunction func) {
    gradient->interp = func ? func : _mvGradientInterpLinear;
}

MV_API void mvGradientSetStopIndex(MVGradient *gradient, uint64_t index, float value) {
    if (index < gradient->numvals) gradient->vals[index].y = value;
}

MV_API void mvGradientSetStopKey(MVGradient *gradient, float key, float value) {
    MVVec2 *found = _mvGradientFindMin(gradient, key);
    if (found && found->x == key) {
        found->y = value;
        return;
    }
    uint64_t n = gradient->numvals;
    uint64_t at = found ? static_cast<uint64_t>(found - gradient->vals) + 1 : 0;
    if (!resizeStops(gradient, n + 1)) return;
    std::memmove(gradient->vals + at + 1, gradient->vals + at, static_cast<size_t>(n - at) * sizeof(MVVec2));
    gradient->vals[at] = mvVec2f(key, value);
    gradient->numvals = n + 1;
}

MV_API void mvGradientRemoveStopIndex(MVGradient *gradient, uint64_t index) {
    if (index < gradient->numvals) removeAt(gradient, index);
}

MV_API void mvGradientRemoveStopKey(MVGradient *gradient, float key) {
    MVVec2 *found = _mvGradientFindMin(gradient, key);
    if (found && found->x == key) removeAt(gradient, static_cast<uint64_t>(found - gradient->vals));
}

MV_API float mvGradientGetValue(MVGradient *gradient, float x) { return gradient->interp(gradient, x); }

MV_API MVVec2 *_mvGradientFindMin(MVGradient *gradient, float x) {
    MVVec2 *vals = gradient->vals;
    uint64_t n = gradient->numvals;
    for (uint64_t i = 0; i < n; i++) {
        if (vals[i].x == x) return &vals[i];
        if (vals[i].x > x) return i ? &vals[i - 1] : nullptr;
    }
    return n ? &vals[n - 1] : nullptr;
}

MV_API float _mvGradientInterpNearest(MVGradient *gradient, float x) {
    Segment s;
    float held;
    if (!locate(gradient, x, &s, &held)) return held;
    return s.t < 0.5f ? s.y1 : s.y2;
}

MV_API float _mvGradientInterpLinear(MVGradient *gradient, float x) {
    Segment s;
    float held;
    if (!locate(gradient, x, &s, &held)) return held;
    return (s.y2 - s.y1) * s.t + s.y1;
}

MV_API float _mvGradientInterpCosine(MVGradient *gradient, float x) {
    Segment s;
    float held;
    if (!locate(gradient, x, &s, &held)) return held;
    double c = std::cos(static_cast<double>(s.t) * 3.141592653589793);
    float w = static_cast<float>((1.0 - c) * 0.5);
    return w * (s.y2 - s.y1) + s.y1;
}

MV_API float _mvGradientInterpCubic(MVGradient *gradient, float x) {
    Segment s;
    float held;
    if (!locate(gradient, x, &s, &held)) return held;
    const MVVec2 *vals = gradient->vals;
    float y0 = s.index > 0 ? vals[s.index - 1].y : s.y1;
    float y3 = s.index + 2 < gradient->numvals ? vals[s.index + 2].y : s.y2;
    float t = s.t;
    float a0 = (y3 - s.y2) - (y0 - s.y1);
    float a1 = (y0 - s.y1) - a0;
    float a2 = s.y2 - y0;
    float a3 = s.y1;
    return ((a0 * t * t * t + a1 * t * t) + a2 * t) + a3;
}

}
