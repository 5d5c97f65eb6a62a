// Sprites drawn in bands on several threads, checked against the same
// calls drawn one at a time on one thread: the pixels must not differ,
// whatever the number of threads, the batch sizes or what comes between
// the sprites. The ThreadSanitizer build runs these too.
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <random>
#include <vector>

#include <morven/draw.h>

#include "alloc_fail.h"
#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"
#include "core/render/soft_sprites.h"
#include "core/base/workers.h"

namespace {

constexpr int W = 333, H = 241;  // bands of uneven height

struct Renderer {
    MVRenderer *r;
    uint32_t textures[2];
    bool eachAlone;  // flushed after every call: the sprites are never batched

    Renderer(unsigned threads, bool alone) : r(softRendererCreate(W, H)), textures{0, 0}, eachAlone(alone) {
        softRendererSetThreads(r, threads);
    }
    ~Renderer() { destroyRenderer(r); }
    void done() {
        if (eachAlone) frontOf(r).submit();
    }
    std::vector<uint8_t> frame() {
        std::vector<uint8_t> rgba(size_t(W) * H * 4);
        EXPECT_TRUE(frontOf(r).readPixels(rgba.data(), W, H));
        return rgba;
    }
};

// An image with clear, opaque and translucent texels in patches.
std::vector<uint8_t> patchwork(int w, int h, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            uint8_t *p = &rgba[4 * (size_t(j) * w + i)];
            for (int c = 0; c < 3; c++) p[c] = uint8_t(random());
            int kind = ((i / 3) + (j / 5)) % 4;
            p[3] = kind == 0 ? 0 : kind == 3 ? uint8_t(random()) : 255;
        }
    return rgba;
}

// One seeded run of drawing calls, made on every renderer alike.
void drawScene(std::vector<Renderer *> &all, unsigned seed, int calls) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0, 1);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    for (Renderer *x : all) {
        x->textures[0] = frontOf(x->r).textureCreate(64, 48);
        x->textures[1] = frontOf(x->r).textureCreate(40, 40);
    }
    std::vector<uint8_t> first = patchwork(64, 48, seed), second = patchwork(40, 40, seed + 1);
    for (Renderer *x : all) {
        frontOf(x->r).textureUpdate(x->textures[0], 0, 0, 64, 48, first.data());
        frontOf(x->r).textureUpdate(x->textures[1], 0, 0, 40, 40, second.data());
        frontOf(x->r).clearColor(0.1f, 0.3f, 0.6f);
        frontOf(x->r).clear();
    }
    int texture = 0, run = 0;  // sprites come in runs from one texture
    for (int call = 0; call < calls; call++) {
        if (run == 0) {
            run = 1 + pick(pick(2) ? 8 : 400);
            texture = pick(4) == 0 ? 1 : 0;
        }
        run--;
        int what = run > 0 ? pick(88) : 80 + pick(20);
        if (what < 80) {  // a sprite: upright, turned, scaled, cut by the borders, or off the frame
            MVSprite s;
            s.sx = pick(16);
            s.sy = pick(12);
            s.sw = 1 + pick(texture ? 24 : 48);
            s.sh = 1 + pick(texture ? 24 : 36);
            s.x = -40 + unit(random) * (W + 80);
            s.y = -40 + unit(random) * (H + 80);
            bool whole = pick(3) == 0;
            if (whole) s.x = float(int(s.x)), s.y = float(int(s.y));
            float scale = pick(4) == 0 ? 0.3f + 3 * unit(random) : 1;
            s.w = s.sw * scale;
            s.h = s.sh * scale;
            int turn = pick(4);
            s.angle = turn == 0 ? 0 : turn == 1 ? 1.5707964f * float(pick(4)) : -4 + 8 * unit(random);
            for (Renderer *x : all) {
                frontOf(x->r).sprites(x->textures[texture], &s, 1);
                x->done();
            }
        } else if (what < 88) {  // the colour: white, tinted or translucent
            float c[4] = {1, 1, 1, 1};
            if (pick(2))
                for (float &v : c) v = unit(random);
            for (Renderer *x : all) frontOf(x->r).color(c[0], c[1], c[2], c[3]);
        } else if (what < 94) {  // a triangle over what is there
            float v[6];
            for (int k = 0; k < 6; k++) v[k] = unit(random) * (k % 2 ? H : W);
            for (Renderer *x : all) {
                frontOf(x->r).begin(MV_DRAW_TRIANGLES);
                for (int k = 0; k < 6; k += 2) frontOf(x->r).vertex(v[k], v[k + 1]);
                frontOf(x->r).end();
            }
        } else if (what < 98) {  // part of a texture changes under the sprites held back
            std::vector<uint8_t> patch = patchwork(8, 8, unsigned(call));
            int px = pick(texture ? 32 : 56), py = pick(texture ? 32 : 40);
            for (Renderer *x : all) frontOf(x->r).textureUpdate(x->textures[texture], px, py, 8, 8, patch.data());
        } else {  // the whole texture drawn unscaled
            float tx = unit(random) * W, ty = unit(random) * H;
            for (Renderer *x : all) drawWhole(frontOf(x->r), x->textures[texture], texture ? 40 : 64, texture ? 40 : 48, tx, ty, 64, 48);
        }
    }
}

void expectSameFrames(std::vector<Renderer *> &all, const char *what) {
    std::vector<uint8_t> reference = all[0]->frame();
    for (size_t k = 1; k < all.size(); k++) {
        std::vector<uint8_t> got = all[k]->frame();
        size_t wrong = 0, first = 0;
        for (size_t p = 0; p < got.size(); p += 4)
            if (memcmp(&got[p], &reference[p], 4) != 0 && wrong++ == 0) first = p / 4;
        EXPECT_EQ(wrong, 0u) << what << ", renderer " << k << ": first wrong pixel " << first % W << ", "
                             << first / W;
    }
}

TEST(SpriteBands, SeveralThreadsDrawWhatOneDrawsCallByCall) {
    for (unsigned seed : {1u, 2u, 3u}) {
        Renderer alone(1, true), oneThread(1, false), two(2, false), five(5, false);
        softRendererSetSharedPixels(five.r, 0);  // small batches in bands too
        std::vector<Renderer *> all = {&alone, &oneThread, &two, &five};
        drawScene(all, seed, 3000);
        expectSameFrames(all, "a mixed scene");
    }
}

#if defined(MORVEN_HAVE_AVX2_SPRITES)
// Rows drawn eight pixels at a time (AVX2) give the pixels of rows drawn
// four at a time, for white and tinted sprites of every kind.
TEST(SpriteBands, EightWideRowsDrawWhatFourWideRowsDraw) {
    if (!softSpritesAvx2()) GTEST_SKIP() << "this processor has no AVX2";
    for (unsigned seed : {4u, 5u}) {
        Renderer four(1, false), eight(1, false);
        std::vector<Renderer *> first = {&four}, second = {&eight};
        softSpritesUseAvx2(false);
        drawScene(first, seed, 3000);
        four.frame();  // drawn now, four at a time
        softSpritesUseAvx2(true);
        drawScene(second, seed, 3000);
        std::vector<Renderer *> both = {&four, &eight};
        expectSameFrames(both, "eight pixels at a time");
    }
}
#endif

// More sprites than are ever held back at once, all in one run: the
// batches end where the queue is full.
TEST(SpriteBands, ALongRunOfSpritesIsDrawnInBatches) {
    Renderer alone(1, true), three(3, false);
    std::vector<Renderer *> all = {&alone, &three};
    std::vector<uint8_t> texels = patchwork(32, 32, 7);
    for (Renderer *x : all) {
        x->textures[0] = frontOf(x->r).textureCreate(32, 32);
        frontOf(x->r).textureUpdate(x->textures[0], 0, 0, 32, 32, texels.data());
    }
    std::mt19937 random(9);
    std::uniform_real_distribution<float> unit(0, 1);
    std::vector<MVSprite> sprites(20000);
    for (MVSprite &s : sprites) s = {0, 0, 32, 32, unit(random) * W, unit(random) * H, 12, 12, 6 * unit(random)};
    for (Renderer *x : all) {
        frontOf(x->r).sprites(x->textures[0], sprites.data(), sprites.size());
        x->done();
    }
    expectSameFrames(all, "20,000 sprites in one call");
}

// Without memory to hold sprites back, each one is drawn at once.
TEST(SpriteBands, SpritesAreDrawnWhenNoneCanBeHeldBack) {
    std::vector<uint8_t> texels = patchwork(16, 16, 5);
    std::vector<MVSprite> sprites;
    for (int k = 0; k < 300; k++)
        sprites.push_back({0, 0, 16, 16, float(k % 37) * 9.5f, float(k % 23) * 10.25f, 20, 14, 0.1f * float(k)});
    auto prepare = [&](Renderer &x) {
        x.textures[0] = frontOf(x.r).textureCreate(16, 16);
        frontOf(x.r).textureUpdate(x.textures[0], 0, 0, 16, 16, texels.data());
    };
    Renderer reference(1, true);
    prepare(reference);
    frontOf(reference.r).sprites(reference.textures[0], sprites.data(), sprites.size());
    std::vector<uint8_t> expected = reference.frame();
    for (long k : {0L, 1L, 3L}) {
        Renderer two(2, false);
        prepare(two);
        allocfail::failAt(k, true);
        for (const MVSprite &sprite : sprites) frontOf(two.r).sprites(two.textures[0], &sprite, 1);
        frontOf(two.r).submit();
        long made = allocfail::disarm();
        EXPECT_GT(made, k) << "an allocation was refused";
        std::vector<uint8_t> got = two.frame();
        EXPECT_EQ(memcmp(got.data(), expected.data(), got.size()), 0) << "allocations failing from " << k;
    }
}

// Every piece of every run is done once, by one thread at a time per slot,
// and a run returns only when all its pieces are done.
TEST(SpriteBands, WorkerRunsShareOutEveryPieceOnce) {
    MVWorkers *workers = workersCreate(4);
    ASSERT_NE(workers, nullptr);
    unsigned slots = workersCount(workers);
    EXPECT_GE(slots, 2u);
    EXPECT_LE(slots, 4u);
    struct Run {
        std::vector<std::atomic<int>> done;
        std::vector<std::atomic<int>> inSlot;
        std::atomic<bool> clash{false}, badSlot{false};
        unsigned slots;
        Run(size_t pieces, unsigned n) : done(pieces), inSlot(n), slots(n) {}
    };
    for (int round = 0; round < 300; round++) {
        size_t pieces = size_t(round % 17);
        Run run(pieces, slots);
        workersRun(
            workers, pieces,
            [](void *context, size_t index, unsigned slot) {
                Run &r = *static_cast<Run *>(context);
                if (slot >= r.slots) {
                    r.badSlot = true;
                    return;
                }
                if (r.inSlot[slot].exchange(1) != 0) r.clash = true;
                r.done[index].fetch_add(1);
                r.inSlot[slot].store(0);
            },
            &run);
        for (size_t i = 0; i < pieces; i++) ASSERT_EQ(run.done[i].load(), 1) << "round " << round << ", piece " << i;
        ASSERT_FALSE(run.clash);
        ASSERT_FALSE(run.badSlot);
    }
    workersDestroy(workers);
    EXPECT_EQ(workersCreate(1), nullptr);
    EXPECT_EQ(workersCount(nullptr), 1u);
}

// The pool's threads take no signal: a handler of the program's never runs
// on them, whatever the program blocks on its own threads.
TEST(SpriteBands, PoolThreadsTakeNoSignals) {
    MVWorkers *workers = workersCreate(2);
    ASSERT_NE(workers, nullptr);
    struct Seen {
        std::atomic<int> started{0};
        std::atomic<bool> poolRan{false}, poolBlocks{false};
    } seen;
    workersRun(
        workers, 2,
        [](void *context, size_t, unsigned slot) {
            Seen &s = *static_cast<Seen *>(context);
            s.started++;
            if (slot != 0) {
                sigset_t mask;
                pthread_sigmask(SIG_BLOCK, nullptr, &mask);
                s.poolBlocks = sigismember(&mask, SIGINT) == 1 && sigismember(&mask, SIGTERM) == 1 &&
                               sigismember(&mask, SIGUSR1) == 1 && sigismember(&mask, SIGALRM) == 1;
                s.poolRan = true;
            }
            // Both pieces run at once, so one of them is on a pool thread.
            for (int wait = 0; wait < 5000 && s.started < 2; wait++) usleep(1000);
        },
        &seen);
    workersDestroy(workers);
    ASSERT_TRUE(seen.poolRan);
    EXPECT_TRUE(seen.poolBlocks);
}

}  // namespace
