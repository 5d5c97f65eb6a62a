// Trail: parallel x and y arrays sized exactly to the entry count, drawn as
// line strips that breaks (NaN entries) split.
#include <morven/draw.h>
#include <morven/trail.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"

static_assert(offsetof(MVTrail, numpoints) == 0 && offsetof(MVTrail, xpoints) == 8 &&
                  offsetof(MVTrail, ypoints) == 16 && offsetof(MVTrail, maxpoints) == 24 &&
                  sizeof(MVTrail) == 32,
              "MVTrail layout is part of the ABI");

namespace {

// Resizes a coordinate array to count floats; no floats free it and leave
// null (realloc to zero bytes differs between C libraries). Returns false,
// with the array untouched, when refused.
bool resizeCoords(float **coords, uint32_t count) {
    size_t bytes = static_cast<size_t>(count) * sizeof(float);
    if (bytes == 0) {
        std::free(*coords);
        *coords = nullptr;
        return true;
    }
    void *resized = std::realloc(*coords, bytes);
    if (!resized) return false;
    *coords = static_cast<float *>(resized);
    return true;
}

bool isBreak(const MVTrail *trail, uint32_t i) {
    return std::isnan(trail->xpoints[i]) || std::isnan(trail->ypoints[i]);
}

float breakCoordinate() {
    const uint32_t bits = 0x7FC00000u;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Removes a leading break, then draws the entries as line strips split at
// the breaks, alpha rising with the index. rgb null: white, set with
// mvDrawColor2f as the white trail always was; otherwise mvDrawColor4f.
void drawTrail(MVTrail *trail, const float *rgb) {
    if (!trail || trail->numpoints == 0) return;
    if (isBreak(trail, 0)) mvTrailPopPoint(trail);
    uint32_t n = trail->numpoints;
    if (n == 0) return;
    mvDrawBegin(MV_DRAW_LINE_STRIP);
    for (uint32_t i = 0; i < n; i++) {
        if (isBreak(trail, i)) {
            mvDrawEnd();
            mvDrawBegin(MV_DRAW_LINE_STRIP);
            continue;
        }
        float alpha = n == 1 ? 1.0f : static_cast<float>(i) / static_cast<float>(n - 1);
        if (rgb)
            mvDrawColor4f(rgb[0], rgb[1], rgb[2], alpha);
        else
            mvDrawColor2f(1.0f, alpha);
        mvDrawVertex2f(trail->xpoints[i], trail->ypoints[i]);
    }
    mvDrawEnd();
}

}  // namespace

extern "C" {

MV_API MVTrail *mvTrailCreate(uint32_t maxpoints) {
    MVTrail *trail = static_cast<MVTrail *>(std::malloc(sizeof(MVTrail)));
    if (!trail) {
        mvCoreSetError("trail: out of memory");
        return nullptr;
    }
    trail->numpoints = 0;
    trail->xpoints = nullptr;
    trail->ypoints = nullptr;
    trail->maxpoints = maxpoints;
    return trail;
}

MV_API void mvTrailDestroy(MVTrail *trail) {
    if (!trail) return;
    std::free(trail->xpoints);
    std::free(trail->ypoints);
    std::free(trail);
}

MV_API void mvTrailAddPoint2f(MVTrail *trail, float x, float y) {
    if (!trail || trail->numpoints == UINT32_MAX) return;
    uint32_t n = trail->numpoints;
    if (!resizeCoords(&trail->xpoints, n + 1)) return;
    if (!resizeCoords(&trail->ypoints, n + 1)) {
        // Give back the x slot; if even that is refused, the larger block is harmless.
        resizeCoords(&trail->xpoints, n);
        return;
    }
    trail->xpoints[n] = x;
    trail->ypoints[n] = y;
    trail->numpoints = n + 1;
    if (trail->maxpoints != 0 && trail->numpoints > trail->maxpoints) mvTrailPopPoint(trail);
}

MV_API void mvTrailAddBreak(MVTrail *trail) { mvTrailAddPoint2f(trail, breakCoordinate(), breakCoordinate()); }

MV_API void mvTrailPopPoint(MVTrail *trail) {
    if (!trail || trail->numpoints == 0) return;
    uint32_t n = --trail->numpoints;
    std::memmove(trail->xpoints, trail->xpoints + 1, static_cast<size_t>(n) * sizeof(float));
    std::memmove(trail->ypoints, trail->ypoints + 1, static_cast<size_t>(n) * sizeof(float));
    // A refused shrink keeps the larger block, which still holds every entry.
    resizeCoords(&trail->xpoints, n);
    resizeCoords(&trail->ypoints, n);
}

MV_API void mvTrailDraw(MVTrail *trail) { drawTrail(trail, nullptr); }

MV_API void mvTrailDrawColor3f(MVTrail *trail, float r, float g, float b) {
    const float rgb[3] = {r, g, b};
    drawTrail(trail, rgb);
}

}
