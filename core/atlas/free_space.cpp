// The maximal free rectangles of a region, found on the grid of its
// obstacles' edges: for each grid row as the bottom, the free columns above
// it form a histogram, and each of its maximal bars that cannot grow
// downwards is one rectangle.
#include "core/atlas/free_space.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The edges along one axis of a region: in order, without repeats, and where
// each lies among them (a table over the region's span).
struct Axis {
    int origin;
    int *place;   // place[v - origin]: the index of edge v
    int *values;  // the edges in order
    size_t count;

    void mark(int v) { place[v - origin] = 1; }
    // Turns the marks into the ordered list and the places.
    void finish(size_t span) {
        count = 0;
        for (size_t k = 0; k <= span; k++)
            if (place[k]) {
                values[count] = origin + static_cast<int>(k);
                place[k] = static_cast<int>(count++);
            }
    }
    size_t at(int v) const { return static_cast<size_t>(place[v - origin]); }
};

bool append(RectList *list, const PackRect &r) { return list->append(r); }

}  // namespace

bool maximalFreeRects(RectList *out, const PackRect &whole, const PackRect *const *groups, const size_t *counts,
                      size_t nGroups) {
    size_t n = 0;
    for (size_t g = 0; g < nGroups; g++) n += counts[g];
    size_t spanX = static_cast<size_t>(whole.w), spanY = static_cast<size_t>(whole.h);
    size_t linesX = std::min(2 * n + 2, spanX + 1), linesY = std::min(2 * n + 2, spanY + 1);
    // Edge places and lists, then per column: height, stack start and
    // height, blocked cells of the row below left of it.
    size_t ints = (spanX + 1) + linesX + (spanY + 1) + linesY + 4 * (linesX + 1);
    int *placeX = static_cast<int *>(calloc(ints, sizeof(int)));
    if (!placeX) return false;
    int *valuesX = placeX + spanX + 1, *placeY = valuesX + linesX, *valuesY = placeY + spanY + 1;
    Axis xs = {whole.x, placeX, valuesX, 0}, ys = {whole.y, placeY, valuesY, 0};
    int *height = valuesY + linesY, *stackStart = height + linesX + 1, *stackHeight = stackStart + linesX + 1;
    int *blockedBefore = stackHeight + linesX + 1;
    xs.mark(whole.x);
    xs.mark(whole.x + whole.w);
    ys.mark(whole.y);
    ys.mark(whole.y + whole.h);
    for (size_t g = 0; g < nGroups; g++)
        for (size_t i = 0; i < counts[g]; i++) {
            const PackRect &r = groups[g][i];
            xs.mark(r.x);
            xs.mark(r.x + r.w);
            ys.mark(r.y);
            ys.mark(r.y + r.h);
        }
    xs.finish(spanX);
    ys.finish(spanY);
    size_t cols = xs.count - 1, rows = ys.count - 1;
    uint8_t *grid = static_cast<uint8_t *>(calloc(rows, cols));
    if (!grid) {
        free(placeX);
        return false;
    }
    for (size_t g = 0; g < nGroups; g++)
        for (size_t i = 0; i < counts[g]; i++) {
            const PackRect &r = groups[g][i];
            size_t c0 = xs.at(r.x), c1 = xs.at(r.x + r.w), r0 = ys.at(r.y), r1 = ys.at(r.y + r.h);
            for (size_t row = r0; row < r1; row++) memset(grid + row * cols + c0, 1, c1 - c0);
        }
    bool ok = true;
    out->count = 0;
    for (size_t c = 0; c < cols; c++) height[c] = 0;
    for (size_t row = 0; row < rows && ok; row++) {
        const uint8_t *line = grid + row * cols, *below = row + 1 < rows ? line + cols : nullptr;
        blockedBefore[0] = 0;
        for (size_t c = 0; c < cols; c++) {
            height[c] = line[c] ? 0 : height[c] + 1;
            blockedBefore[c + 1] = blockedBefore[c] + (below ? below[c] : 1);
        }
        size_t depth = 0;
        for (size_t c = 0; c <= cols && ok; c++) {
            int cur = c < cols ? height[c] : 0;
            size_t start = c;
            while (depth > 0 && stackHeight[depth - 1] >= cur) {
                depth--;
                size_t from = static_cast<size_t>(stackStart[depth]);
                int bar = stackHeight[depth];
                start = from;
                if (bar == cur) continue;  // the bar goes on to the right
                if (blockedBefore[c] == blockedBefore[from]) continue;  // found again lower down
                int top = ys.values[row + 1 - static_cast<size_t>(bar)];
                PackRect r = {xs.values[from], top, xs.values[c] - xs.values[from], ys.values[row + 1] - top};
                ok = append(out, r);
            }
            if (cur > 0) {
                stackStart[depth] = static_cast<int>(start);
                stackHeight[depth++] = cur;
            }
        }
    }
    free(grid);
    free(placeX);
    return ok;
}

