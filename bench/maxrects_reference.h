// A textbook maximal-rectangles packer with the best-short-side-fit rule:
// every insertion splits the free rectangles it cuts and then drops every free
// rectangle that lies inside another. The yardstick for the atlas's packer.
#ifndef MORVEN_BENCH_MAXRECTS_REFERENCE_H
#define MORVEN_BENCH_MAXRECTS_REFERENCE_H

#include <climits>
#include <cstddef>
#include <vector>

class MaxRectsReference {
public:
    struct Rect {
        int x, y, w, h;
    };

    MaxRectsReference(int w, int h) : free_{{0, 0, w, h}} {}

    // Places a w x h rectangle; false when none of the free rectangles holds it.
    bool insert(int w, int h, Rect *placed) {
        int bestShort = INT_MAX, bestLong = INT_MAX;
        Rect best{};
        for (const Rect &f : free_) {
            if (f.w < w || f.h < h) continue;
            int dw = f.w - w, dh = f.h - h;
            int shortSide = dw < dh ? dw : dh, longSide = dw < dh ? dh : dw;
            if (shortSide < bestShort || (shortSide == bestShort && longSide < bestLong)) {
                bestShort = shortSide;
                bestLong = longSide;
                best = {f.x, f.y, w, h};
            }
        }
        if (bestShort == INT_MAX) return false;
        split(best);
        prune();
        *placed = best;
        return true;
    }

    size_t freeCount() const { return free_.size(); }

private:
    static bool overlaps(const Rect &a, const Rect &b) {
        return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
    }
    static bool inside(const Rect &in, const Rect &out) {
        return in.x >= out.x && in.y >= out.y && in.x + in.w <= out.x + out.w && in.y + in.h <= out.y + out.h;
    }

    void split(const Rect &u) {
        std::vector<Rect> next;
        next.reserve(free_.size() + 8);
        for (const Rect &f : free_) {
            if (!overlaps(f, u)) {
                next.push_back(f);
                continue;
            }
            if (u.x > f.x) next.push_back({f.x, f.y, u.x - f.x, f.h});
            if (u.x + u.w < f.x + f.w) next.push_back({u.x + u.w, f.y, f.x + f.w - u.x - u.w, f.h});
            if (u.y > f.y) next.push_back({f.x, f.y, f.w, u.y - f.y});
            if (u.y + u.h < f.y + f.h) next.push_back({f.x, u.y + u.h, f.w, f.y + f.h - u.y - u.h});
        }
        free_.swap(next);
    }

    void prune() {
        for (size_t i = 0; i < free_.size(); i++) {
            for (size_t j = i + 1; j < free_.size(); j++) {
                if (inside(free_[i], free_[j])) {
                    free_.erase(free_.begin() + static_cast<long>(i));
                    i--;
                    break;
                }
                if (inside(free_[j], free_[i])) {
                    free_.erase(free_.begin() + static_cast<long>(j));
                    j--;
                }
            }
        }
    }

    std::vector<Rect> free_;
};

#endif
