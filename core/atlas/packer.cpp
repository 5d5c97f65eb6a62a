#include "core/atlas/packer.h"

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

// The up to four maximal pieces of f around u (which cuts f).
int split(const PackRect &f, const PackRect &u, PackRect *out) {
    int n = 0;
    if (u.x > f.x) out[n++] = {f.x, f.y, u.x - f.x, f.h};
    if (u.x + u.w < f.x + f.w) out[n++] = {u.x + u.w, f.y, f.x + f.w - u.x - u.w, f.h};
    if (u.y > f.y) out[n++] = {f.x, f.y, f.w, u.y - f.y};
    if (u.y + u.h < f.y + f.h) out[n++] = {f.x, u.y + u.h, f.w, f.y + f.h - u.y - u.h};
    return n;
}

template <class T>
bool ensure(T **items, size_t *capacity, size_t need) {
    if (need <= *capacity) return true;
    size_t grown = *capacity ? *capacity : 16;
    while (grown < need) grown *= 2;
    void *block = realloc(*items, grown * sizeof(T));
    if (!block) return false;
    *items = static_cast<T *>(block);
    *capacity = grown;
    return true;
}

bool listInit(FreeRects *list, const PackRect &whole) {
    list->items = nullptr;
    list->count = list->capacity = 0;
    if (!ensure(&list->items, &list->capacity, 1)) return false;
    list->items[0] = whole;
    list->count = 1;
    return true;
}

void listRelease(FreeRects *list) {
    free(list->items);
    *list = {nullptr, 0, 0};
}

// Free pixels a footprint keeps before (left of and above) and after the area.
struct Gap {
    int lead, trail;
};

// The best-short-side-fit place in `list` for a w x h area with its gap, or
// false when none holds it. The lead is dropped at the bin's left and top
// edges, the trail is cut off by the right and bottom.
bool choose(const Packer *p, const FreeRects &list, int w, int h, Gap gap, PackRect *area, PackRect *foot) {
    long bestShort = LONG_MAX, bestLong = LONG_MAX;
    for (size_t i = 0; i < list.count; i++) {
        const PackRect &f = list.items[i];
        if (f.w < w || f.h < h) continue;
        long left = f.x > 0 ? gap.lead : 0, top = f.y > 0 ? gap.lead : 0;
        long right = p->w - (f.x + left + w), bottom = p->h - (f.y + top + h);
        if (right < 0 || bottom < 0) continue;
        if (right > gap.trail) right = gap.trail;
        if (bottom > gap.trail) bottom = gap.trail;
        long fw = left + w + right, fh = top + h + bottom;
        if (fw > f.w || fh > f.h) continue;
        long leftoverW = f.w - fw, leftoverH = f.h - fh;
        long shortSide = leftoverW < leftoverH ? leftoverW : leftoverH;
        long longSide = leftoverW < leftoverH ? leftoverH : leftoverW;
        if (shortSide < bestShort || (shortSide == bestShort && longSide < bestLong)) {
            bestShort = shortSide;
            bestLong = longSide;
            *area = {f.x + static_cast<int>(left), f.y + static_cast<int>(top), w, h};
            *foot = {f.x, f.y, static_cast<int>(fw), static_cast<int>(fh)};
        }
    }
    return bestShort != LONG_MAX;
}

constexpr int kWidthClasses = kPackCellSide / kPackWidthStep + 1;

void updateBounds(PackCell *c) {
    for (int &t : c->tallest) t = 0;
    for (size_t i = 0; i < c->free.count; i++) {
        const PackRect &f = c->free.items[i];
        int k = f.w / kPackWidthStep;
        if (k >= kWidthClasses) k = kWidthClasses - 1;
        if (f.h > c->tallest[k]) c->tallest[k] = f.h;
    }
    for (int k = kWidthClasses - 2; k >= 0; k--)
        if (c->tallest[k + 1] > c->tallest[k]) c->tallest[k] = c->tallest[k + 1];
}

bool mightFit(const PackCell &c, int w, int h) {
    int k = w / kPackWidthStep;
    return k < kWidthClasses && h <= c.tallest[k];
}

bool addCell(Packer *p, const PackRect &bounds) {
    void *grown = realloc(p->cells, (p->cellCount + 1) * sizeof(PackCell));
    if (!grown) return false;
    p->cells = static_cast<PackCell *>(grown);
    PackCell &c = p->cells[p->cellCount];
    c.bounds = bounds;
    c.failW = c.failH = c.failPadding = 0;
    if (!listInit(&c.free, bounds)) return false;
    if (!packerCarve(p, &p->top, bounds)) {
        listRelease(&c.free);
        return false;
    }
    updateBounds(&c);
    p->cellCount++;
    return true;
}

// Places the request in a cell that holds it, in the order the cells were made.
bool insertInCells(Packer *p, int w, int h, int padding, Gap gap, PackRect *area, PackRect *foot) {
    for (size_t i = 0; i < p->cellCount; i++) {
        PackCell &c = p->cells[i];
        if (!mightFit(c, w, h)) continue;
        if (c.failW && w >= c.failW && h >= c.failH && padding >= c.failPadding) continue;
        if (!choose(p, c.free, w, h, gap, area, foot)) {
            c.failW = w;
            c.failH = h;
            c.failPadding = padding;
            continue;
        }
        if (!packerCarve(p, &c.free, *foot)) return false;
        updateBounds(&c);
        return true;
    }
    return false;
}

// Opens a new cell for a request that no cell holds, if the bin has room for
// a cell and the request fits it.
bool placeInNewCell(Packer *p, int w, int h, Gap gap, PackRect *area, PackRect *foot) {
    PackRect cell, cellFoot;
    int cw = p->w < kPackCellSide ? p->w : kPackCellSide, ch = p->h < kPackCellSide ? p->h : kPackCellSide;
    if (!choose(p, p->top, cw, ch, {0, 0}, &cell, &cellFoot)) return false;
    FreeRects whole = {&cell, 1, 1};
    if (!choose(p, whole, w, h, gap, area, foot) || !addCell(p, cell)) return false;
    PackCell &c = p->cells[p->cellCount - 1];
    if (!packerCarve(p, &c.free, *foot)) return false;
    updateBounds(&c);
    return true;
}

// Large requests, and small ones that fit only between the cells.
bool placeInBin(Packer *p, int w, int h, Gap gap, PackRect *area, PackRect *foot) {
    return choose(p, p->top, w, h, gap, area, foot) && packerCarve(p, &p->top, *foot);
}

void releaseAll(Packer *p) {
    listRelease(&p->top);
    for (size_t i = 0; i < p->cellCount; i++) listRelease(&p->cells[i].free);
    free(p->cells);
    free(p->pieces);
    free(p->keep);
    free(p->spare);
}

}  // namespace

bool packerCarve(Packer *p, FreeRects *list, const PackRect &used) {
    const PackRect *items = list->items;
    size_t n = list->count, hits = 0;
    for (size_t i = 0; i < n; i++) hits += intersects(items[i], used);
    if (hits == 0) return true;
    if (!ensure(&p->pieces, &p->piecesCapacity, 4 * hits) || !ensure(&p->keep, &p->keepCapacity, 4 * hits) ||
        !ensure(&p->spare, &p->spareCapacity, n + 3 * hits))
        return false;

    size_t pieceCount = 0;
    for (size_t i = 0; i < n; i++)
        if (intersects(items[i], used))
            pieceCount += static_cast<size_t>(split(items[i], used, p->pieces + pieceCount));
    // Untouched rectangles stay maximal (the free space only shrank). A piece
    // is dropped when another free rectangle holds it; of equal pieces the
    // first stays.
    const PackRect *pieces = p->pieces;
    for (size_t i = 0; i < pieceCount; i++) {
        bool covered = false;
        for (size_t j = 0; j < n && !covered; j++)
            covered = !intersects(items[j], used) && contains(items[j], pieces[i]);
        for (size_t j = 0; j < pieceCount && !covered; j++) {
            if (j == i || !contains(pieces[j], pieces[i])) continue;
            covered = !contains(pieces[i], pieces[j]) || j < i;
        }
        p->keep[i] = !covered;
    }
    // Each cut rectangle gives way to its surviving pieces, in place.
    PackRect *next = p->spare;
    size_t count = 0, piece = 0;
    for (size_t i = 0; i < n; i++) {
        if (!intersects(items[i], used)) {
            next[count++] = items[i];
            continue;
        }
        PackRect scratch[4];
        int made = split(items[i], used, scratch);
        for (int k = 0; k < made; k++, piece++)
            if (p->keep[piece]) next[count++] = pieces[piece];
    }
    p->spare = list->items;
    size_t spareCapacity = p->spareCapacity;
    p->spareCapacity = list->capacity;
    list->items = next;
    list->capacity = spareCapacity;
    list->count = count;
    return true;
}

bool packerInit(Packer *p, int w, int h) {
    *p = Packer{};
    p->w = w;
    p->h = h;
    return listInit(&p->top, {0, 0, w, h});
}

void packerRelease(Packer *p) {
    releaseAll(p);
    *p = Packer{};
}

bool packerInsert(Packer *p, int w, int h, int padding, PackRect *area, PackRect *footprint) {
    if (w <= 0 || h <= 0 || padding < 0 || w > p->w || h > p->h) return false;
    // Two areas keep at least the larger of their paddings apart. Every
    // footprint trails its area by at least the base padding, so a request
    // with no more than the base needs no lead: neighbours before it
    // already keep enough room. Only the excess over the base leads.
    int base = p->hasBase ? p->basePadding : padding;
    Gap gap = {padding > base ? padding - base : 0, padding > base ? padding : base};
    PackRect bestArea, bestFoot;
    bool placed = insertInCells(p, w, h, padding, gap, &bestArea, &bestFoot) ||
                  placeInNewCell(p, w, h, gap, &bestArea, &bestFoot) || placeInBin(p, w, h, gap, &bestArea, &bestFoot);
    if (!placed) return false;
    p->hasBase = true;
    p->basePadding = base;
    *area = bestArea;
    *footprint = bestFoot;
    return true;
}

bool packerRebuild(Packer *p, const PackRect *used, size_t count) {
    Packer fresh;
    if (!packerInit(&fresh, p->w, p->h)) return false;
    // An empty bin takes a new base padding with its next request.
    fresh.hasBase = count > 0 && p->hasBase;
    fresh.basePadding = fresh.hasBase ? p->basePadding : 0;
    bool ok = true;
    // Cells that still hold a footprint stay where they are; empty ones go.
    for (size_t c = 0; c < p->cellCount && ok; c++) {
        bool occupied = false;
        for (size_t i = 0; i < count && !occupied; i++) occupied = contains(p->cells[c].bounds, used[i]);
        if (occupied) ok = addCell(&fresh, p->cells[c].bounds);
    }
    for (size_t i = 0; i < count && ok; i++) {
        FreeRects *list = &fresh.top;
        PackCell *cell = nullptr;
        for (size_t c = 0; c < fresh.cellCount && !cell; c++)
            if (contains(fresh.cells[c].bounds, used[i])) cell = &fresh.cells[c];
        if (cell) list = &cell->free;
        ok = packerCarve(&fresh, list, used[i]);
        if (ok && cell) updateBounds(cell);
    }
    if (!ok) {
        releaseAll(&fresh);
        return false;
    }
    releaseAll(p);
    *p = fresh;
    return true;
}
