#include "core/atlas/packer.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "core/atlas/free_space.h"

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

bool listInit(RectList *list, const PackRect &whole) {
    *list = {nullptr, 0, 0};
    if (!list->reserve(1)) return false;
    list->items[0] = whole;
    list->count = 1;
    return true;
}

void listRelease(RectList *list) {
    free(list->items);
    *list = {nullptr, 0, 0};
}

// Drops r from the list (order does not matter); false when it is not there.
bool listDrop(RectList *list, const PackRect &r) {
    for (size_t i = 0; i < list->count; i++) {
        const PackRect &f = list->items[i];
        if (f.x == r.x && f.y == r.y && f.w == r.w && f.h == r.h) {
            list->items[i] = list->items[--list->count];
            return true;
        }
    }
    return false;
}

// Free pixels a footprint keeps before (left of and above) and after the area.
struct Gap {
    int lead, trail;
};

long overlap(long a0, long a1, long b0, long b1) {
    long lo = a0 > b0 ? a0 : b0, hi = a1 < b1 ? a1 : b1;
    return hi > lo ? hi - lo : 0;
}

// Length of the edges of c that touch the rectangles.
long touching(const PackRect *rects, size_t n, const PackRect &c) {
    long x0 = c.x, y0 = c.y, x1 = x0 + c.w, y1 = y0 + c.h, sum = 0;
    for (size_t i = 0; i < n; i++) {
        const PackRect &u = rects[i];
        if (u.x == x1 || u.x + u.w == x0) sum += overlap(y0, y1, u.y, u.y + u.h);
        if (u.y == y1 || u.y + u.h == y0) sum += overlap(x0, x1, u.x, u.x + u.w);
    }
    return sum;
}

// Length of the edges of c that lie on the border of the region.
long onBorder(const PackRect &region, const PackRect &c) {
    return (c.x == region.x) * long(c.h) + (c.x + c.w == region.x + region.w) * long(c.h) +
           (c.y == region.y) * long(c.w) + (c.y + c.h == region.y + region.h) * long(c.w);
}

// Row y of a cell's taken pixels, or column x of them.
uint64_t *takenRow(const PackCell *c, int y) { return c->taken + static_cast<size_t>(y) * kPackWords; }
uint64_t *takenColumn(const PackCell *c, int x) {
    return c->taken + static_cast<size_t>(kPackCellSide + x) * kPackWords;
}

// Set bits of a word (without a call into the compiler's runtime).
int ones(uint64_t v) {
    v = v - ((v >> 1) & 0x5555555555555555u);
    v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0f0f0f0f0f0f0f0fu;
    return static_cast<int>((v * 0x0101010101010101u) >> 56);
}

// Calls f(word index, mask) for the words that bits [from, to) of a line span.
template <class F>
inline void eachWord(int from, int to, F f) {
    if (from >= to) return;
    int first = from >> 6, last = (to - 1) >> 6;
    uint64_t head = ~uint64_t(0) << (from & 63), tail = ~uint64_t(0) >> (63 - ((to - 1) & 63));
    if (first == last) {
        f(first, head & tail);
        return;
    }
    f(first, head);
    for (int word = first + 1; word < last; word++) f(word, ~uint64_t(0));
    f(last, tail);
}

// Set bits of a line in [from, to). Within one word, the common cases (a
// side of a place touches nothing, or touches all along) need no count.
long bitsSet(const uint64_t *line, int from, int to) {
    if (from >= to) return 0;
    int first = from >> 6, last = (to - 1) >> 6;
    uint64_t head = ~uint64_t(0) << (from & 63), tail = ~uint64_t(0) >> (63 - ((to - 1) & 63));
    if (first == last) {
        uint64_t mask = head & tail, v = line[first] & mask;
        return v == 0 ? 0 : v == mask ? to - from : ones(v);
    }
    long sum = ones(line[first] & head) + ones(line[last] & tail);
    for (int word = first + 1; word < last; word++) sum += ones(line[word]);
    return sum;
}

void setBits(uint64_t *line, int from, int to, bool on) {
    eachWord(from, to, [&](int word, uint64_t mask) { line[word] = on ? line[word] | mask : line[word] & ~mask; });
}

// Marks a footprint's pixels in its cell as taken, or as free again.
void paint(PackCell *c, const PackRect &foot, bool on) {
    int x0 = foot.x - c->bounds.x, y0 = foot.y - c->bounds.y, x1 = x0 + foot.w, y1 = y0 + foot.h;
    for (int y = y0; y < y1; y++) setBits(takenRow(c, y), x0, x1, on);
    for (int x = x0; x < x1; x++) setBits(takenColumn(c, x), y0, y1, on);
}

// Length of the edges of a place in a cell that touch footprints there.
long touchingInCell(const PackCell *c, const PackRect &r) {
    if (!c->taken) return 0;
    int x0 = r.x - c->bounds.x, y0 = r.y - c->bounds.y, x1 = x0 + r.w, y1 = y0 + r.h;
    long sum = 0;
    if (x0 > 0) sum += bitsSet(takenColumn(c, x0 - 1), y0, y1);
    if (x1 < c->bounds.w) sum += bitsSet(takenColumn(c, x1), y0, y1);
    if (y0 > 0) sum += bitsSet(takenRow(c, y0 - 1), x0, x1);
    if (y1 < c->bounds.h) sum += bitsSet(takenRow(c, y1), x0, x1);
    return sum;
}

// What a candidate footprint touches where it would go: the region's border
// and the footprints in the region (outside the cells: also the cells).
long contact(const Packer *p, const PackCell *cell, const PackRect &foot) {
    if (cell) return onBorder(cell->bounds, foot) + touchingInCell(cell, foot);
    long sum = onBorder({0, 0, p->w, p->h}, foot) + touching(p->topFeet.items, p->topFeet.count, foot);
    for (size_t i = 0; i < p->cells.count; i++)
        if (p->cells.items[i].inUse) sum += touching(&p->cells.items[i].bounds, 1, foot);
    return sum;
}

// The best place in `list` (the free space of `cell`, or of the bin outside
// the cells when null) for a w x h area with its gap, or false when none
// holds it. The lead is dropped at the bin's left and top edges, the trail is
// cut off by the right and bottom.
bool choose(const Packer *p, const PackCell *cell, const RectList &list, int w, int h, Gap gap, PackRect *area,
            PackRect *foot) {
    long bestContact = -1, bestLong = LONG_MAX;
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
        long longSide = leftoverW < leftoverH ? leftoverH : leftoverW;
        PackRect candidate = {f.x, f.y, static_cast<int>(fw), static_cast<int>(fh)};
        long touch = contact(p, cell, candidate);
        if (touch > bestContact || (touch == bestContact && longSide < bestLong)) {
            bestContact = touch;
            bestLong = longSide;
            *area = {f.x + static_cast<int>(left), f.y + static_cast<int>(top), w, h};
            *foot = candidate;
        }
    }
    return bestContact >= 0;
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

// The free space of a region made afresh from the obstacles in it (and the
// cells in use, when given).
bool rebuild(RectList *list, const PackRect &whole, const RectList &obstacles, const PackCell *cells = nullptr,
             size_t cellCount = 0) {
    PackRect *bounds = nullptr;
    size_t inUse = 0;
    if (cellCount) {
        bounds = static_cast<PackRect *>(malloc(cellCount * sizeof(PackRect)));
        if (!bounds) return false;
        for (size_t i = 0; i < cellCount; i++)
            if (cells[i].inUse) bounds[inUse++] = cells[i].bounds;
    }
    const PackRect *groups[2] = {obstacles.items, bounds};
    size_t counts[2] = {obstacles.count, inUse};
    RectList fresh = {nullptr, 0, 0};
    bool ok = fresh.reserve(1) && maximalFreeRects(&fresh, whole, groups, counts, 2);
    free(bounds);
    if (!ok) {
        listRelease(&fresh);
        return false;
    }
    listRelease(list);
    *list = fresh;
    return true;
}

// A new cell (in a free slot, or a new one) at `bounds`, carved from the bin.
bool addCell(Packer *p, const PackRect &bounds, size_t *index) {
    size_t slot = 0;
    while (slot < p->cells.count && p->cells.items[slot].inUse) slot++;
    if (slot == p->cells.count && !p->cells.append(PackCell{})) return false;
    PackCell &c = p->cells.items[slot];
    RectList space;
    if (!listInit(&space, bounds)) return false;
    uint64_t *taken = static_cast<uint64_t *>(calloc(2 * kPackCellSide * kPackWords, sizeof(uint64_t)));
    if (!taken || !packerCarve(p, &p->top, bounds)) {
        free(taken);
        listRelease(&space);
        return false;
    }
    listRelease(&c.free);
    c.free = space;
    c.taken = taken;
    c.feet.count = 0;
    c.bounds = bounds;
    c.inUse = true;
    c.failW = c.failH = c.failPadding = 0;
    updateBounds(&c);
    *index = slot;
    return true;
}

bool placeInCell(Packer *p, size_t index, const PackRect &foot) {
    PackCell &c = p->cells.items[index];
    if (!c.feet.reserve(c.feet.count + 1) || !packerCarve(p, &c.free, foot)) return false;
    c.feet.items[c.feet.count++] = foot;
    paint(&c, foot, true);
    updateBounds(&c);
    return true;
}

// Places the request in a cell that holds it, in the order of the cells.
bool insertInCells(Packer *p, int w, int h, int padding, Gap gap, PackRect *area, PackRect *foot, int *where) {
    for (size_t i = 0; i < p->cells.count; i++) {
        PackCell &c = p->cells.items[i];
        if (!c.inUse || !mightFit(c, w, h)) continue;
        if (c.failW && w >= c.failW && h >= c.failH && padding >= c.failPadding) continue;
        if (!choose(p, &c, c.free, w, h, gap, area, foot)) {
            c.failW = w;
            c.failH = h;
            c.failPadding = padding;
            continue;
        }
        if (!placeInCell(p, i, *foot)) return false;
        *where = static_cast<int>(i);
        return true;
    }
    return false;
}

// Opens a new cell for a request that no cell holds, if the bin has room for
// a cell and the request fits it.
bool placeInNewCell(Packer *p, int w, int h, Gap gap, PackRect *area, PackRect *foot, int *where) {
    PackRect cell, cellFoot;
    int cw = p->w < kPackCellSide ? p->w : kPackCellSide, ch = p->h < kPackCellSide ? p->h : kPackCellSide;
    if (!choose(p, nullptr, p->top, cw, ch, {0, 0}, &cell, &cellFoot)) return false;
    PackCell probe = {};
    probe.bounds = cell;
    RectList whole = {&cell, 1, 1};
    size_t index;
    if (!choose(p, &probe, whole, w, h, gap, area, foot) || !addCell(p, cell, &index)) return false;
    if (!placeInCell(p, index, *foot)) return false;  // the empty cell stays for later requests
    *where = static_cast<int>(index);
    return true;
}

// Large requests, and small ones that fit only between the cells.
bool placeInBin(Packer *p, int w, int h, Gap gap, PackRect *area, PackRect *foot, int *where) {
    if (!choose(p, nullptr, p->top, w, h, gap, area, foot)) return false;
    if (!p->topFeet.reserve(p->topFeet.count + 1) || !packerCarve(p, &p->top, *foot))
        return false;
    p->topFeet.items[p->topFeet.count++] = *foot;
    *where = kPackOutside;
    return true;
}

// An empty cell goes back to the bin, unless memory runs out: then it stays,
// wholly free.
void retireCell(Packer *p, size_t index) {
    PackCell &c = p->cells.items[index];
    c.inUse = false;
    if (rebuild(&p->top, {0, 0, p->w, p->h}, p->topFeet, p->cells.items, p->cells.count)) {
        listRelease(&c.free);
        listRelease(&c.feet);
        free(c.taken);
        c.taken = nullptr;
        return;
    }
    c.inUse = true;
    c.free.items[0] = c.bounds;  // a list always holds room for one
    c.free.count = 1;
    c.failW = 0;
    updateBounds(&c);
}

void releaseAll(Packer *p) {
    listRelease(&p->top);
    listRelease(&p->topFeet);
    for (size_t i = 0; i < p->cells.count; i++) {
        listRelease(&p->cells.items[i].free);
        listRelease(&p->cells.items[i].feet);
        free(p->cells.items[i].taken);
    }
    p->cells.release();
    p->pieces.release();
    p->keep.release();
    p->made.release();
    p->spare.release();
}

}  // namespace

bool packerCarve(Packer *p, RectList *list, const PackRect &used) {
    const PackRect *items = list->items;
    size_t n = list->count;
    if (!p->made.reserve(n)) return false;
    // made[i]: how many pieces the i-th rectangle is cut into, plus one; 0: untouched.
    uint8_t *made = p->made.items;
    size_t hits = 0;
    for (size_t i = 0; i < n; i++) {
        made[i] = intersects(items[i], used);
        hits += made[i];
    }
    if (hits == 0) return true;
    if (!p->pieces.reserve(4 * hits) || !p->keep.reserve(4 * hits) || !p->spare.reserve(n + 3 * hits)) return false;
    size_t pieceCount = 0;
    for (size_t i = 0; i < n; i++) {
        if (!made[i]) continue;
        int k = split(items[i], used, p->pieces.items + pieceCount);
        made[i] = static_cast<uint8_t>(k + 1);
        pieceCount += static_cast<size_t>(k);
    }
    // Untouched rectangles stay maximal (the free space only shrank). A piece
    // is dropped when another free rectangle holds it; of equal pieces the
    // first stays.
    const PackRect *pieces = p->pieces.items;
    bool *keep = p->keep.items;
    for (size_t i = 0; i < pieceCount; i++) keep[i] = true;
    // A piece lies beside `used` along one of its sides and across the whole
    // of it the other way, so an untouched rectangle that holds a piece ends
    // exactly where `used` begins (or begins where it ends): only those are
    // worth comparing with the pieces.
    int ux0 = used.x, uy0 = used.y, ux1 = used.x + used.w, uy1 = used.y + used.h;
    for (size_t j = 0; j < n; j++) {
        const PackRect &g = items[j];
        if (made[j] || (g.x + g.w != ux0 && g.x != ux1 && g.y + g.h != uy0 && g.y != uy1)) continue;
        for (size_t i = 0; i < pieceCount; i++)
            if (keep[i] && contains(g, pieces[i])) keep[i] = false;
    }
    for (size_t i = 0; i < pieceCount; i++) {
        if (!keep[i]) continue;
        bool covered = false;
        for (size_t j = 0; j < pieceCount && !covered; j++) {
            if (j == i || !contains(pieces[j], pieces[i])) continue;
            covered = !contains(pieces[i], pieces[j]) || j < i;
        }
        keep[i] = !covered;
    }
    // Each cut rectangle gives way to its surviving pieces, in place.
    PackRect *next = p->spare.items;
    size_t count = 0, piece = 0;
    for (size_t i = 0; i < n; i++) {
        if (!made[i]) {
            next[count++] = items[i];
            continue;
        }
        for (int k = 1; k < made[i]; k++, piece++)
            if (keep[piece]) next[count++] = pieces[piece];
    }
    p->spare.count = count;
    std::swap(*list, p->spare);  // the old list is the spare room of the next carve
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

bool packerInsert(Packer *p, int w, int h, int padding, PackRect *area, PackRect *footprint, int *where) {
    if (w <= 0 || h <= 0 || padding < 0 || w > p->w || h > p->h) return false;
    // Two areas keep at least the larger of their paddings apart. Every
    // footprint trails its area by at least the base padding, so a request
    // with no more than the base needs no lead: neighbours before it
    // already keep enough room. Only the excess over the base leads.
    int base = p->hasBase ? p->basePadding : padding;
    Gap gap = {padding > base ? padding - base : 0, padding > base ? padding : base};
    PackRect bestArea, bestFoot;
    int at;
    bool placed = insertInCells(p, w, h, padding, gap, &bestArea, &bestFoot, &at) ||
                  placeInNewCell(p, w, h, gap, &bestArea, &bestFoot, &at) ||
                  placeInBin(p, w, h, gap, &bestArea, &bestFoot, &at);
    if (!placed) return false;
    p->hasBase = true;
    p->basePadding = base;
    p->placed++;
    *area = bestArea;
    *footprint = bestFoot;
    *where = at;
    return true;
}

void packerRemove(Packer *p, const PackRect &footprint, int where) {
    bool inCell = where >= 0 && static_cast<size_t>(where) < p->cells.count && p->cells.items[where].inUse;
    if (!listDrop(inCell ? &p->cells.items[where].feet : &p->topFeet, footprint)) return;
    // An empty bin takes a new base padding with its next request.
    if (--p->placed == 0) p->hasBase = false;
    if (!inCell) {
        rebuild(&p->top, {0, 0, p->w, p->h}, p->topFeet, p->cells.items, p->cells.count);
        return;
    }
    PackCell &c = p->cells.items[where];
    paint(&c, footprint, false);
    if (c.feet.count == 0) {
        retireCell(p, static_cast<size_t>(where));
        return;
    }
    if (rebuild(&c.free, c.bounds, c.feet)) {
        c.failW = 0;
        updateBounds(&c);
    }
}
