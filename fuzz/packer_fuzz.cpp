// Atlas packing: random streams of reservations (with paddings) and releases
// in an atlas of random size, checked after every step: every area inside
// the atlas, and every two areas at least the larger of their paddings
// apart. In a small atlas (one packing cell) with a single padding, a
// reservation must also succeed exactly when a brute-force picture of the
// atlas shows a place that could take it.
//
// Input: width byte, height byte, mode byte (bit 0: one padding for all,
// bits 1-2: that padding, bit 3: a large atlas of several cells), then per
// step an operation byte (bit 7 set: release; else reserve) and, for a
// reserve, a width byte, a height byte and a padding byte.
#include <morven/atlas.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "atlas_model.h"
#include "fuzz_check.h"

namespace {

constexpr int kMaxSteps = 120;

struct Input {
    const uint8_t *data;
    size_t size;
    bool next(uint8_t *b) {
        if (size == 0) return false;
        *b = *data++;
        size--;
        return true;
    }
};

// A size from one byte: mostly small, sometimes up to the whole side.
int sizeFrom(uint8_t b, int side) { return b & 0x80 ? 1 + (b & 0x7f) * side / 128 : 1 + (b & 0x1f); }

// Free pixels between two areas along the axis that separates them
// (negative when they overlap).
int gap(const MVAtlasArea &a, const MVAtlasArea &b) {
    int gx = std::max(b.x - (a.x + a.w), a.x - (b.x + b.w));
    int gy = std::max(b.y - (a.y + a.h), a.y - (b.y + b.h));
    return std::max(gx, gy);
}

void checkLayout(const std::vector<ModelArea> &live, int w, int h) {
    for (size_t i = 0; i < live.size(); i++) {
        const MVAtlasArea &a = *live[i].area;
        FUZZ_CHECK(a.x + a.w <= w && a.y + a.h <= h);
        for (size_t j = i + 1; j < live.size(); j++)
            FUZZ_CHECK(gap(a, *live[j].area) >= std::max(live[i].padding, live[j].padding));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input in{data, size};
    uint8_t wb, hb, mode;
    if (!in.next(&wb) || !in.next(&hb) || !in.next(&mode)) return 0;
    const bool large = mode & 8;
    const int w = 1 + (large ? wb + (wb >> 2) : wb & 0x7f), h = 1 + (large ? hb + (hb >> 2) : hb & 0x7f);
    const bool uniform = mode & 1;
    const int uniformPadding = (mode >> 1) & 3;
    const bool complete = uniform && !large;

    MVAtlas *atlas = mvAtlasCreate(w, h, 32);
    FUZZ_CHECK(atlas != nullptr);
    AtlasModel model(w, h);
    std::vector<ModelArea> live;
    uint64_t covered = 0;
    uint8_t op;
    for (int step = 0; step < kMaxSteps && in.next(&op); step++) {
        if (op & 0x80) {
            if (live.empty()) continue;
            size_t victim = (op & 0x7f) % live.size();
            covered -= uint64_t(live[victim].area->w) * live[victim].area->h;
            mvAtlasAreaRelease(atlas, const_cast<MVAtlasArea *>(live[victim].area));
            live.erase(live.begin() + long(victim));
        } else {
            uint8_t rw, rh, rp;
            if (!in.next(&rw) || !in.next(&rh) || !in.next(&rp)) break;
            int aw = sizeFrom(rw, w), ah = sizeFrom(rh, h), padding = uniform ? uniformPadding : rp % 5;
            MVAtlasArea *area = mvAtlasAreaReserve(atlas, aw, ah, padding);
            // (A place it found is checked with the layout below.)
            if (complete && !area) FUZZ_CHECK(!model.fits(live, aw, ah, padding));
            if (area) {
                FUZZ_CHECK(area->w == aw && area->h == ah);
                live.push_back({area, padding});
                covered += uint64_t(aw) * ah;
            }
        }
        checkLayout(live, w, h);
        FUZZ_CHECK(mvAtlasOccupancy(atlas) == double(covered) / (double(w) * h));
    }
    mvAtlasDestroy(atlas);
    return 0;
}
