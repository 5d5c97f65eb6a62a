#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "core/atlas/free_space.h"
#include "core/atlas/packer.h"

namespace {

bool within(const PackRect &in, const PackRect &out) {
    return in.x >= out.x && in.y >= out.y && in.x + in.w <= out.x + out.w && in.y + in.h <= out.y + out.h;
}

// The free list after carving must be exactly the maximal empty rectangles:
// each one empty, none extendable by a pixel, none inside another, and
// together covering every empty pixel.
void checkMaximal(const RectList &list, const std::vector<PackRect> &used, int W, int H) {
    std::vector<char> taken(size_t(W) * H, 0);
    for (const PackRect &u : used)
        for (int y = u.y; y < u.y + u.h; y++)
            for (int x = u.x; x < u.x + u.w; x++) taken[size_t(y) * W + x] = 1;
    auto empty = [&](const PackRect &r) {
        if (r.x < 0 || r.y < 0 || r.x + r.w > W || r.y + r.h > H) return false;
        for (int y = r.y; y < r.y + r.h; y++)
            for (int x = r.x; x < r.x + r.w; x++)
                if (taken[size_t(y) * W + x]) return false;
        return true;
    };
    std::vector<char> covered(taken.size(), 0);
    for (size_t i = 0; i < list.count; i++) {
        const PackRect &f = list.items[i];
        ASSERT_TRUE(empty(f)) << i;
        EXPECT_FALSE(empty({f.x - 1, f.y, f.w + 1, f.h})) << i;
        EXPECT_FALSE(empty({f.x, f.y - 1, f.w, f.h + 1})) << i;
        EXPECT_FALSE(empty({f.x, f.y, f.w + 1, f.h})) << i;
        EXPECT_FALSE(empty({f.x, f.y, f.w, f.h + 1})) << i;
        for (size_t j = 0; j < list.count; j++) {
            if (j == i) continue;
            EXPECT_FALSE(within(f, list.items[j])) << i << " inside " << j;
        }
        for (int y = f.y; y < f.y + f.h; y++)
            for (int x = f.x; x < f.x + f.w; x++) covered[size_t(y) * W + x] = 1;
    }
    for (size_t p = 0; p < taken.size(); p++) ASSERT_TRUE(taken[p] || covered[p]) << "pixel " << p << " lost";
}

std::vector<std::tuple<int, int, int, int>> sorted(const RectList &list) {
    std::vector<std::tuple<int, int, int, int>> out;
    for (size_t i = 0; i < list.count; i++)
        out.emplace_back(list.items[i].x, list.items[i].y, list.items[i].w, list.items[i].h);
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Packer, CarvingKeepsExactlyTheMaximalFreeRectangles) {
    const int W = 48, H = 40;
    for (unsigned seed = 1; seed <= 30; seed++) {
        std::mt19937 rng(seed);
        Packer packer;
        ASSERT_TRUE(packerInit(&packer, W, H));
        RectList list = {nullptr, 0, 0};
        list.items = static_cast<PackRect *>(malloc(sizeof(PackRect)));
        list.items[0] = {0, 0, W, H};
        list.count = list.capacity = 1;
        std::vector<PackRect> used;
        for (int step = 0; step < 25; step++) {
            // Arbitrary, possibly overlapping cuts: carving must not care.
            PackRect u{int(rng() % W), int(rng() % H), 1 + int(rng() % 12), 1 + int(rng() % 12)};
            if (u.x + u.w > W) u.w = W - u.x;
            if (u.y + u.h > H) u.h = H - u.y;
            ASSERT_TRUE(packerCarve(&packer, &list, u));
            used.push_back(u);
            checkMaximal(list, used, W, H);
            if (::testing::Test::HasFatalFailure()) break;
            // Worked out afresh from the obstacles, the free space is the same set.
            RectList fresh = {nullptr, 0, 0};
            const PackRect *groups[1] = {used.data()};
            size_t counts[1] = {used.size()};
            ASSERT_TRUE(maximalFreeRects(&fresh, {0, 0, W, H}, groups, counts, 1));
            EXPECT_EQ(sorted(fresh), sorted(list)) << "seed " << seed << " step " << step;
            free(fresh.items);
        }
        free(list.items);
        packerRelease(&packer);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

struct Placed {
    PackRect area, foot;
    int padding;
    int where;
};

int gapBetween(const PackRect &a, const PackRect &b) {
    int gx = std::max(b.x - (a.x + a.w), a.x - (b.x + b.w));
    int gy = std::max(b.y - (a.y + a.h), a.y - (b.y + b.h));
    return std::max(gx, gy);
}

void checkApart(const std::vector<Placed> &placed, int W, int H) {
    for (size_t i = 0; i < placed.size(); i++) {
        const PackRect &a = placed[i].area;
        ASSERT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.w <= W && a.y + a.h <= H) << i;
        for (size_t j = i + 1; j < placed.size(); j++)
            ASSERT_GE(gapBetween(a, placed[j].area), std::max(placed[i].padding, placed[j].padding))
                << i << " and " << j;
    }
}

// A bin several cells wide: small requests fill cells, large ones go between
// them, padding holds across cell borders, and releases give space back.
TEST(Packer, LargeBinMixesCellsAndLargeRequests) {
    const int W = 700, H = 600;
    std::mt19937 rng(5);
    Packer packer;
    ASSERT_TRUE(packerInit(&packer, W, H));
    std::vector<Placed> placed;
    auto insert = [&](int w, int h, int padding) {
        Placed p{{}, {}, padding, 0};
        if (!packerInsert(&packer, w, h, padding, &p.area, &p.foot, &p.where)) return false;
        EXPECT_EQ(p.area.w, w);
        EXPECT_EQ(p.area.h, h);
        EXPECT_TRUE(within(p.area, p.foot));
        placed.push_back(p);
        return true;
    };
    EXPECT_TRUE(insert(300, 280, 2));  // larger than a cell
    int failures = 0;
    for (int step = 0; step < 4000 && failures < 40; step++) {
        int w = 2 + int(rng() % 40), h = 2 + int(rng() % 40), padding = int(rng() % 3);
        if (insert(w, h, padding)) failures = 0;
        else failures++;
        if (step % 23 == 3 && placed.size() > 3) {
            auto victim = placed.begin() + long(rng() % placed.size());
            packerRemove(&packer, victim->foot, victim->where);
            placed.erase(victim);
        }
    }
    EXPECT_GT(packer.cells.count, 1u);
    checkApart(placed, W, H);
    double covered = 0;
    for (const Placed &p : placed) covered += double(p.area.w) * p.area.h;
    EXPECT_GT(covered / (double(W) * H), 0.7);

    // Releasing everything returns the cells to the bin: the whole bin fits.
    for (const Placed &p : placed) packerRemove(&packer, p.foot, p.where);
    for (size_t i = 0; i < packer.cells.count; i++) EXPECT_FALSE(packer.cells.items[i].inUse) << i;
    PackRect area, foot;
    int where;
    ASSERT_TRUE(packerInsert(&packer, W, H, 3, &area, &foot, &where));
    EXPECT_EQ(area.x, 0);
    EXPECT_EQ(area.y, 0);
    packerRelease(&packer);
}

// A request that fits no cell any more still finds room between them.
TEST(Packer, SmallRequestsUseTheBinBesideFullCells) {
    Packer packer;
    ASSERT_TRUE(packerInit(&packer, 300, 256));
    PackRect area, foot;
    int where, placed = 0;
    while (packerInsert(&packer, 16, 16, 0, &area, &foot, &where)) placed++;
    // 16 x 16 rows in the 256 x 256 cell, then 2 columns of 16 in the 44 px strip.
    EXPECT_EQ(placed, 256 + 2 * 16);
    EXPECT_TRUE(packerInsert(&packer, 12, 256, 0, &area, &foot, &where));
    EXPECT_EQ(area.x, 288);
    EXPECT_FALSE(packerInsert(&packer, 1, 1, 0, &area, &foot, &where));
    packerRelease(&packer);
}

// One padding for every area: neighbours stay exactly that far apart, so
// 15 x 15 areas with padding 1 tile a 64 x 64 bin four by four. The base
// padding is taken afresh once the bin is empty again.
TEST(Packer, UniformPaddingLeavesOneGapBetweenNeighbours) {
    Packer packer;
    ASSERT_TRUE(packerInit(&packer, 64, 64));
    PackRect area, foot;
    int where;
    for (int round = 0; round < 2; round++) {
        std::vector<Placed> placed;
        if (round == 1) {  // a different first padding before the release
            ASSERT_TRUE(packerInsert(&packer, 5, 5, 0, &area, &foot, &where));
            packerRemove(&packer, foot, where);
        }
        while (packerInsert(&packer, 15, 15, 1, &area, &foot, &where)) placed.push_back({area, foot, 1, where});
        EXPECT_EQ(placed.size(), 16u) << "round " << round;
        checkApart(placed, 64, 64);
        for (const Placed &p : placed) packerRemove(&packer, p.foot, p.where);
    }
    packerRelease(&packer);
}

// Paddings that differ: each pair keeps the larger one, whichever came first.
TEST(Packer, MixedPaddingsKeepTheLargerGap) {
    for (int first = 0; first <= 3; first++) {
        Packer packer;
        ASSERT_TRUE(packerInit(&packer, 90, 90));
        std::vector<Placed> placed;
        std::mt19937 rng{static_cast<unsigned>(first)};
        Placed p{{}, {}, first, 0};
        ASSERT_TRUE(packerInsert(&packer, 10, 10, first, &p.area, &p.foot, &p.where));
        placed.push_back(p);
        for (int i = 0; i < 200; i++) {
            Placed q{{}, {}, int(rng() % 5), 0};
            if (packerInsert(&packer, 3 + int(rng() % 9), 3 + int(rng() % 9), q.padding, &q.area, &q.foot, &q.where))
                placed.push_back(q);
        }
        EXPECT_GT(placed.size(), 20u);
        checkApart(placed, 90, 90);
        packerRelease(&packer);
    }
}

// Within a cell each request goes where its edges touch the most of the
// border and of the areas already there, counted pixel by pixel here: no
// maximal free rectangle that holds it offers a top-left corner touching more.
TEST(Packer, EachPlaceTouchesAtLeastAsMuchAsAnyOther) {
    const int W = 200, H = 150;  // one cell, rows of more than one word
    for (unsigned seed = 1; seed <= 6; seed++) {
        std::mt19937 rng(seed);
        Packer packer;
        ASSERT_TRUE(packerInit(&packer, W, H));
        std::vector<PackRect> feet;
        std::vector<char> taken(size_t(W) * H, 0);
        auto at = [&](int x, int y) { return x < 0 || y < 0 || x >= W || y >= H || taken[size_t(y) * W + x]; };
        auto touch = [&](const PackRect &r) {
            long sum = 0;
            for (int y = r.y; y < r.y + r.h; y++) sum += at(r.x - 1, y) + at(r.x + r.w, y);
            for (int x = r.x; x < r.x + r.w; x++) sum += at(x, r.y - 1) + at(x, r.y + r.h);
            return sum;
        };
        for (int step = 0; step < 60; step++) {
            int w = 3 + int(rng() % 70), h = 3 + int(rng() % 40);
            RectList space = {nullptr, 0, 0};
            const PackRect *groups[1] = {feet.data()};
            size_t counts[1] = {feet.size()};
            ASSERT_TRUE(maximalFreeRects(&space, {0, 0, W, H}, groups, counts, 1));
            long best = -1;
            for (size_t i = 0; i < space.count; i++)
                if (space.items[i].w >= w && space.items[i].h >= h)
                    best = std::max(best, touch({space.items[i].x, space.items[i].y, w, h}));
            free(space.items);
            PackRect area, foot;
            int where;
            bool placed = packerInsert(&packer, w, h, 0, &area, &foot, &where);
            ASSERT_EQ(placed, best >= 0) << "seed " << seed << " step " << step;
            if (!placed) continue;
            EXPECT_EQ(touch(foot), best) << "seed " << seed << " step " << step << ": " << w << " x " << h;
            feet.push_back(foot);
            for (int y = foot.y; y < foot.y + foot.h; y++)
                for (int x = foot.x; x < foot.x + foot.w; x++) taken[size_t(y) * W + x] = 1;
        }
        packerRelease(&packer);
    }
}

}  // namespace
