#include "core/packer.h"

#include <climits>
#include <cstdlib>

namespace {

bool intersects(const PackRect &a, const PackRect &b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

bool contains(const PackRect &outer, const PackRect &inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
}

// Removes `used` from every free rectangle, replacing each one it cuts by
// the up to four maximal pieces around it, then drops pieces that lie inside
// others. Leaves the packer unchanged when out of memory.
bool carve(Packer *p, const PackRect &used) {
    size_t capacity = p->freeCount * 4 + 1;
    PackRect *next = static_cast<PackRect *>(malloc(capacity * sizeof(PackRect)));
    if (!next) return false;
    size_t n = 0;
    for (size_t i = 0; i < p->freeCount; i++) {
        const PackRect &f = p->free[i];
        if (!intersects(f, used)) {
            next[n++] = f;
            continue;
        }
        if (used.x > f.x) next[n++] = {f.x, f.y, used.x - f.x, f.h};
        if (used.x + used.w < f.x + f.w) next[n++] = {used.x + used.w, f.y, f.x + f.w - used.x - used.w, f.h};
        if (used.y > f.y) next[n++] = {f.x, f.y, f.w, used.y - f.y};
        if (used.y + used.h < f.y + f.h) next[n++] = {f.x, used.y + used.h, f.w, f.y + f.h - used.y - used.h};
    }
    // Keep only maximal rectangles (of two equal ones, the first).
    size_t kept = 0;
    for (size_t i = 0; i < n; i++) {
        bool covered = false;
        for (size_t j = 0; j < n && !covered; j++) {
            if (j == i || !contains(next[j], next[i])) continue;
            covered = !contains(next[i], next[j]) || j < i;
        }
        if (!covered) next[kept++] = next[i];
    }
    PackRect *exact = static_cast<PackRect *>(realloc(next, (kept ? kept : 1) * sizeof(PackRect)));
    free(p->free);
    p->free = exact ? exact : next;
    p->freeCount = kept;
    return true;
}

}  // namespace

bool packerInit(Packer *p, int w, int h) {
    p->w = w;
    p->h = h;
    p->free = static_cast<PackRect *>(malloc(sizeof(PackRect)));
    if (!p->free) return false;
    p->free[0] = {0, 0, w, h};
    p->freeCount = 1;
    return true;
}

void packerRelease(Packer *p) {
    free(p->free);
    p->free = nullptr;
    p->freeCount = 0;
}

bool packerInsert(Packer *p, int w, int h, int padding, PackRect *area, PackRect *footprint) {
    if (w <= 0 || h <= 0 || padding < 0 || w > p->w || h > p->h) return false;
    long bestShort = LONG_MAX, bestLong = LONG_MAX;
    PackRect bestArea{}, bestFoot{};
    for (size_t i = 0; i < p->freeCount; i++) {
        const PackRect &f = p->free[i];
        // Padding before the area is dropped at the bin's left and top edges,
        // padding after it is cut off by the right and bottom edges.
        long left = f.x > 0 ? padding : 0, top = f.y > 0 ? padding : 0;
        long right = p->w - (f.x + left + w), bottom = p->h - (f.y + top + h);
        if (right < 0 || bottom < 0) continue;
        if (right > padding) right = padding;
        if (bottom > padding) bottom = padding;
        long fw = left + w + right, fh = top + h + bottom;
        if (fw > f.w || fh > f.h) continue;
        long leftoverW = f.w - fw, leftoverH = f.h - fh;
        long shortSide = leftoverW < leftoverH ? leftoverW : leftoverH;
        long longSide = leftoverW < leftoverH ? leftoverH : leftoverW;
        if (shortSide < bestShort || (shortSide == bestShort && longSide < bestLong)) {
            bestShort = shortSide;
            bestLong = longSide;
            bestArea = {f.x + static_cast<int>(left), f.y + static_cast<int>(top), w, h};
            bestFoot = {f.x, f.y, static_cast<int>(fw), static_cast<int>(fh)};
        }
    }
    if (bestShort == LONG_MAX || !carve(p, bestFoot)) return false;
    *area = bestArea;
    *footprint = bestFoot;
    return true;
}

bool packerRebuild(Packer *p, const PackRect *used, size_t count) {
    Packer fresh;
    if (!packerInit(&fresh, p->w, p->h)) return false;
    for (size_t i = 0; i < count; i++) {
        if (!carve(&fresh, used[i])) {
            packerRelease(&fresh);
            return false;
        }
    }
    packerRelease(p);
    *p = fresh;
    return true;
}
