// Atlases on several threads at once: each thread makes, fills, empties and
// destroys its own, and an atlas drawn on one thread may be destroyed on
// another. Meant for ThreadSanitizer as much as for the plain build.
#include <gtest/gtest.h>
#include <morven/atlas.h>

#include <random>
#include <thread>
#include <vector>

#include "atlas_model.h"
#include "core/atlas/atlas_internal.h"
#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"

namespace {

// Fills and empties atlases of its own; returns what went wrong ("" if nothing).
std::string ownAtlases(unsigned seed) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 4; round++) {
        const int side = 96 + int(rng() % 64), padding = int(rng() % 3);
        MVAtlas *atlas = mvAtlasCreate(side, side, 32);
        if (!atlas) return "no atlas";
        std::vector<ModelArea> live;
        std::vector<uint8_t> tile(20 * 20 * 4, uint8_t(seed));
        for (int step = 0; step < 200; step++) {
            if (!live.empty() && rng() % 3 == 0) {
                size_t victim = rng() % live.size();
                mvAtlasAreaRelease(atlas, const_cast<MVAtlasArea *>(live[victim].area));
                live.erase(live.begin() + long(victim));
            } else if (MVAtlasArea *a = mvAtlasAreaReserve(atlas, 1 + rng() % 20, 1 + rng() % 20, padding)) {
                mvAtlasAreaSetData(atlas, a, 20, 20, 32, tile.data());
                live.push_back({a, padding});
            }
        }
        std::string wrong = AtlasModel(side, side).check(live);
        double covered = 0;
        for (const ModelArea &m : live) covered += double(m.area->w) * m.area->h;
        if (wrong.empty() && mvAtlasOccupancy(atlas) != covered / (double(side) * side)) wrong = "occupancy";
        mvAtlasDestroy(atlas);
        if (!wrong.empty()) return wrong;
    }
    return "";
}

TEST(AtlasAnyThread, ThreadsFillAndDestroyTheirOwnAtlases) {
    constexpr int kThreads = 4;
    std::vector<std::string> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++) threads.emplace_back([&results, t] { results[t] = ownAtlases(unsigned(t + 1)); });
    for (std::thread &t : threads) t.join();
    for (int t = 0; t < kThreads; t++) EXPECT_EQ(results[t], "") << "thread " << t;
}

// The software renderer, counting the textures made and destroyed.
struct CountingRenderer {
    MVRenderer record;
    MVRenderer *inner;
    int creates = 0, destroys = 0;
};

CountingRenderer *counting(void *self) { return static_cast<CountingRenderer *>(self); }

// An atlas filled on a loading thread, drawn on this one and destroyed on a
// third: the texture goes on the drawing thread, at its next frame, while
// other threads keep making and destroying atlases of their own.
TEST(AtlasAnyThread, DrawnAtlasDestroyedElsewhereLeavesItsTextureToTheDrawingThread) {
    CountingRenderer r;
    r.inner = softRendererCreate(64, 64);
    r.record = *r.inner;
    r.record.self = &r;
    r.record.textureCreate = [](void *self, int w, int h) {
        counting(self)->creates++;
        return counting(self)->inner->textureCreate(counting(self)->inner->self, w, h);
    };
    r.record.textureUpdate = [](void *self, uint32_t tex, int x, int y, int w, int h, const uint8_t *rgba) {
        counting(self)->inner->textureUpdate(counting(self)->inner->self, tex, x, y, w, h, rgba);
    };
    r.record.textureDestroy = [](void *self, uint32_t tex) {
        counting(self)->destroys++;
        counting(self)->inner->textureDestroy(counting(self)->inner->self, tex);
    };
    r.record.run = [](void *self, const MVCommandList *list) {
        counting(self)->inner->run(counting(self)->inner->self, list);
    };
    r.record.readPixels = [](void *self, uint8_t *rgba, int w, int h) {
        return counting(self)->inner->readPixels(counting(self)->inner->self, rgba, w, h);
    };
    r.record.maxTextureSize = [](void *self) { return counting(self)->inner->maxTextureSize(counting(self)->inner->self); };
    MVRenderer *previous = frontEnd().install(&r.record);

    std::string busy;
    std::thread others([&busy] { busy = ownAtlases(7); });
    std::vector<MVAtlas *> atlases(3);
    std::thread loader([&atlases] {
        std::vector<uint8_t> tile(8 * 8 * 4, 200);
        for (MVAtlas *&a : atlases) {
            a = mvAtlasCreate(32, 32, 32);
            mvAtlasAreaSetData(a, mvAtlasAreaReserve(a, 8, 8, 0), 8, 8, 32, tile.data());
        }
    });
    loader.join();
    for (MVAtlas *a : atlases) mvAtlasDrawDBG(a, 0, 0, 0, MV_ATLAS_DRAW_IMAGE);
    frontEnd().submit();
    EXPECT_EQ(r.creates, 3);
    EXPECT_NE(softRendererPixels(r.inner)[0], 0);  // the loader's pixels reached the screen

    std::thread unloader([&atlases] {
        mvAtlasDestroy(atlases[0]);
        mvAtlasDestroy(atlases[1]);
    });
    unloader.join();
    EXPECT_EQ(r.destroys, 0);  // not on the unloading thread
    atlasCollectDestroyed(&r.record);
    EXPECT_EQ(r.destroys, 2);
    mvAtlasDrawDBG(atlases[2], 0, 0, 0, MV_ATLAS_DRAW_IMAGE);  // the one left is still drawn from its texture
    EXPECT_EQ(r.creates, 3);
    atlasDropTextures(&r.record);  // the window closes
    EXPECT_EQ(r.destroys, 3);
    mvAtlasDestroy(atlases[2]);
    EXPECT_EQ(r.destroys, 3);

    others.join();
    EXPECT_EQ(busy, "");
    frontEnd().install(previous);
    destroyRenderer(r.inner);
}

}  // namespace
