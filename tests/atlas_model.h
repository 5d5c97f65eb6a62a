// A brute-force picture of an atlas: every pixel that an area covers, to
// check a layout against (no overlap, padding kept, all inside) and to tell
// whether a request could be placed anywhere at all.
#ifndef MORVEN_TESTS_ATLAS_MODEL_H
#define MORVEN_TESTS_ATLAS_MODEL_H

#include <morven/atlas.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

struct ModelArea {
    const MVAtlasArea *area;
    int padding;
};

class AtlasModel {
public:
    AtlasModel(int w, int h) : w_(w), h_(h) {}

    // "" when the areas lie inside the atlas, cover no pixel twice and each
    // keeps its padding free of the others; otherwise what is wrong.
    std::string check(const std::vector<ModelArea> &live) {
        std::vector<int> owner(size_t(w_) * h_, -1);
        char why[160];
        for (size_t i = 0; i < live.size(); i++) {
            const MVAtlasArea &a = *live[i].area;
            if (a.w == 0 || a.h == 0 || a.x + a.w > w_ || a.y + a.h > h_) {
                snprintf(why, sizeof why, "area %zu (%d,%d %dx%d) outside", i, a.x, a.y, a.w, a.h);
                return why;
            }
            for (int y = a.y; y < a.y + a.h; y++)
                for (int x = a.x; x < a.x + a.w; x++) {
                    int &o = owner[size_t(y) * w_ + x];
                    if (o >= 0) {
                        snprintf(why, sizeof why, "areas %d and %zu share pixel (%d,%d)", o, i, x, y);
                        return why;
                    }
                    o = int(i);
                }
        }
        sums(owner);
        for (size_t i = 0; i < live.size(); i++) {
            const MVAtlasArea &a = *live[i].area;
            int p = live[i].padding;
            long around = covered(a.x - p, a.y - p, a.x + a.w + p, a.y + a.h + p);
            if (around != long(a.w) * a.h) {
                snprintf(why, sizeof why, "area %zu (%d,%d %dx%d) has a neighbour within its padding %d", i, a.x,
                         a.y, a.w, a.h, p);
                return why;
            }
        }
        return "";
    }

    // Whether a w x h area with padding p could go anywhere, when every area
    // has padding p: its area and the p pixels right of and below it (cut
    // off by the border) must miss the same room of the others.
    bool fits(const std::vector<ModelArea> &live, int w, int h, int p) {
        std::vector<int> owner(size_t(w_) * h_, -1);
        for (size_t i = 0; i < live.size(); i++) {
            const MVAtlasArea &a = *live[i].area;
            for (int y = a.y; y < std::min(h_, a.y + a.h + p); y++)
                for (int x = a.x; x < std::min(w_, a.x + a.w + p); x++) owner[size_t(y) * w_ + x] = int(i);
        }
        sums(owner);
        for (int y = 0; y + h <= h_; y++)
            for (int x = 0; x + w <= w_; x++)
                if (covered(x, y, std::min(w_, x + w + p), std::min(h_, y + h + p)) == 0) return true;
        return false;
    }

private:
    // sum_[(y) * (w + 1) + x]: covered pixels above and left of (x, y).
    void sums(const std::vector<int> &owner) {
        sum_.assign(size_t(w_ + 1) * (h_ + 1), 0);
        for (int y = 0; y < h_; y++)
            for (int x = 0; x < w_; x++)
                sum_[size_t(y + 1) * (w_ + 1) + x + 1] = (owner[size_t(y) * w_ + x] >= 0) +
                                                        sum_[size_t(y) * (w_ + 1) + x + 1] +
                                                        sum_[size_t(y + 1) * (w_ + 1) + x] -
                                                        sum_[size_t(y) * (w_ + 1) + x];
    }

    // Covered pixels in [x0, x1) x [y0, y1), clipped to the atlas.
    long covered(int x0, int y0, int x1, int y1) const {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, w_);
        y1 = std::min(y1, h_);
        if (x0 >= x1 || y0 >= y1) return 0;
        auto at = [&](int x, int y) { return sum_[size_t(y) * (w_ + 1) + x]; };
        return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
    }

    int w_, h_;
    std::vector<long> sum_;
};

#endif
