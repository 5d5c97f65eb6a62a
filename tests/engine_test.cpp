#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/image.h>
#include <morven/timer.h>
#include <morven/window.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "core/render/png_write.h"
#include "core/render/renderer.h"
#include "front_of.h"
#include "core/base/timer_internal.h"

#if __has_include(<stb/stb_image.h>)
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>
#define HAVE_DECODER 1
#else
#define HAVE_DECODER 0
#endif

namespace {

std::string tempDir() {
    char pattern[] = "/tmp/morven-engine-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

struct Decoded {
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    const uint8_t *at(int x, int y) const { return &rgba[4 * (size_t(y) * w + x)]; }
};

// Decodes a PNG with stb_image (the tests that need it skip without it).
Decoded decode(const std::string &path) {
    Decoded d;
#if HAVE_DECODER
    int channels = 0;
    uint8_t *p = stbi_load(path.c_str(), &d.w, &d.h, &channels, 4);
    if (p) d.rgba.assign(p, p + size_t(d.w) * d.h * 4);
    stbi_image_free(p);
#else
    (void)path;
#endif
    return d;
}

#define NEEDS_DECODER() \
    if (!HAVE_DECODER) GTEST_SKIP() << "stb_image.h not installed"


// Every test starts and ends with the engine stopped and no variable of ours set.
class Engine : public ::testing::Test {
protected:
    std::string dir = tempDir();
    void SetUp() override {
        unsetenv("MORVEN_MAX_FRAMES");
        unsetenv("MORVEN_SCREENSHOT");
        unsetenv("MORVEN_MODULE_PATH");
    }
    void TearDown() override {
        mvDeinit();
        SetUp();
    }
};

TEST(PngWrite, RoundTripsThroughADecoder) {
    NEEDS_DECODER();
    // 300 x 100 RGBA is larger than one stored deflate block, and blocks end mid-row.
    const int w = 300, h = 100;
    std::vector<uint8_t> image(size_t(w) * h * 4);
    for (size_t i = 0; i < image.size(); i++) image[i] = uint8_t(i * 7 + i / 1201);
    std::string path = tempDir() + "/round.png";
    ASSERT_TRUE(pngWrite(path.c_str(), image.data(), w, h));
    Decoded d = decode(path);
    ASSERT_EQ(d.w, w);
    ASSERT_EQ(d.h, h);
    EXPECT_EQ(d.rgba, image);
    EXPECT_FALSE(pngWrite("/nonexistent-dir/x.png", image.data(), w, h));
    EXPECT_FALSE(pngWrite(path.c_str(), image.data(), 0, h));
}

TEST_F(Engine, UnknownOrMissingModulesAreRefused) {
    EXPECT_FALSE(mvLoadModule(nullptr));
    EXPECT_FALSE(mvLoadModule("Vulkan"));
    EXPECT_FALSE(mvLoadModule("sdl"));  // names are exact
    // Nothing beside the test program or in an empty search path.
    setenv("MORVEN_MODULE_PATH", dir.c_str(), 1);
    EXPECT_FALSE(mvLoadModule("STB-Image"));
    EXPECT_EQ(mvImageLoad("/dev/null", nullptr), nullptr);
}

#ifdef MORVEN_TEST_MODULE_DIR
TEST_F(Engine, ModulesAreFoundAlongTheSearchPath) {
    for (const char *module : {"/morven-stb-image.so", "/morven-opengl.so"})
        if (access((std::string(MORVEN_TEST_MODULE_DIR) + module).c_str(), R_OK) != 0)
            GTEST_SKIP() << module + 1 << " is not built";
    // The first directory holds a plugin file under the wrong name: it is passed over.
    std::string impostor = dir + "/morven-stb-image.so";
    std::string copy = "cp " MORVEN_TEST_MODULE_DIR "/morven-opengl.so " + impostor;
    ASSERT_EQ(system(copy.c_str()), 0);
    std::string path = ":" + dir + ":" MORVEN_TEST_MODULE_DIR;
    setenv("MORVEN_MODULE_PATH", path.c_str(), 1);
    ASSERT_TRUE(mvLoadModule("STB-Image"));
    EXPECT_TRUE(mvLoadModule("STB-Image"));  // already loaded

    const uint8_t pixels[8] = {10, 20, 30, 255, 40, 50, 60, 128};
    std::string file = dir + "/two.png";
    ASSERT_TRUE(pngWrite(file.c_str(), pixels, 1, 2));
    MVImage *image = static_cast<MVImage *>(mvImageLoad(file.c_str(), nullptr));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, 1);
    EXPECT_EQ(image->h, 2);
    EXPECT_EQ(std::vector<uint8_t>(image->pixels, image->pixels + 8), std::vector<uint8_t>(pixels, pixels + 8));
    mvImageFree(image);
    mvImageFree(nullptr);
    EXPECT_EQ(mvImageLoad((dir + "/missing.png").c_str(), nullptr), nullptr);

    mvDeinit();  // unloads the modules, even without mvInit
    EXPECT_EQ(mvImageLoad(file.c_str(), nullptr), nullptr);
}
#endif

TEST_F(Engine, HeadlessRunPresentsFramesAndWritesTheLastOne) {
    NEEDS_DECODER();
    std::string shot = dir + "/shot.png";
    setenv("MORVEN_MAX_FRAMES", "2", 1);
    setenv("MORVEN_SCREENSHOT", shot.c_str(), 1);
    EXPECT_FALSE(mvWindowOpen(40, 30, 32, 0));  // not started
    EXPECT_FALSE(mvLoop(0));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    EXPECT_TRUE(mvInit(0));
    EXPECT_FALSE(mvLoop(0));  // no window
    EXPECT_FALSE(mvWindowOpen(0, 30, 32, 0));
    EXPECT_FALSE(mvWindowOpen(40, 30, 16, 0));
    ASSERT_TRUE(mvWindowOpen(40, 30, 32, 0));
    EXPECT_FALSE(mvWindowOpen(40, 30, 32, 0));  // one window
    mvWindowSetTitle("test");
    mvWindowSetTitle(nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "MORVEN: no SDL module loaded; running headless\n");

    int frames = 0;
    while (mvLoop(0)) {
        mvDrawColor3f(1, 0, 0);
        mvDrawBegin(MV_DRAW_POINTS);
        mvDrawVertex2f(3.5f + frames, 4.5f);
        mvDrawEnd();
        mvWindowSwapBuffers();
        mvDrawClear();
        frames++;
        ASSERT_LT(frames, 10);
    }
    EXPECT_EQ(frames, 2);
    EXPECT_FALSE(mvLoop(0));
    EXPECT_FALSE(exists(shot));  // written at shut-down
    mvDeinit();
    Decoded d = decode(shot);
    ASSERT_EQ(d.w, 40);
    ASSERT_EQ(d.h, 30);
    EXPECT_EQ(d.at(4, 4)[0], 255);  // the second frame's point, not the first one's
    EXPECT_EQ(d.at(3, 4)[0], 0);
    EXPECT_EQ(d.at(0, 0)[3], 255);
    mvDrawColor1f(1);  // after shut-down drawing goes nowhere
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(1, 1);
    mvDrawEnd();
}

TEST_F(Engine, ZeroFramesEndsAtOnceAndWritesNothing) {
    std::string shot = dir + "/none.png";
    setenv("MORVEN_MAX_FRAMES", "0", 1);
    setenv("MORVEN_SCREENSHOT", shot.c_str(), 1);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(8, 8, 0, 0));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(mvLoop(0));
    mvDeinit();
    EXPECT_FALSE(exists(shot));
}

TEST_F(Engine, StopSignalsEndTheLoopAndHandlersAreRestored) {
    for (int sig : {SIGINT, SIGTERM}) {
        struct sigaction before;
        sigaction(sig, nullptr, &before);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(mvLoop(0));
        raise(sig);
        EXPECT_FALSE(mvLoop(0));
        EXPECT_FALSE(mvLoop(0));
        mvDeinit();
        struct sigaction after;
        sigaction(sig, nullptr, &after);
        EXPECT_EQ(after.sa_handler, before.sa_handler);
        // A new run starts without the old request.
        testing::internal::CaptureStderr();
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
        testing::internal::GetCapturedStderr();
        EXPECT_TRUE(mvLoop(0));
        mvDeinit();
    }
}

// The first signal asks the loop to end; a second one, of either kind,
// ends a program that does not stop with the signal's default action.
TEST_F(Engine, ASecondStopSignalEndsTheProgram) {
    const int pairs[][2] = {{SIGINT, SIGINT}, {SIGTERM, SIGTERM}, {SIGINT, SIGTERM}};
    for (const auto &pair : pairs) {
        EXPECT_EXIT(
            {
                if (!mvInit(0) || !mvWindowOpen(8, 8, 32, 0)) _exit(2);
                raise(pair[0]);
                if (mvLoop(0)) _exit(3);
                raise(pair[1]);
                _exit(0);
            },
            testing::KilledBySignal(pair[1]), "");
    }
}

TEST_F(Engine, ShutDownTakesAtlasTexturesAlong) {
    MVAtlas *atlas = mvAtlasCreate(4, 4, 32);
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, 1, 1, 0);
    const uint8_t white[4] = {255, 255, 255, 255};
    mvAtlasAreaSetData(atlas, area, 1, 1, 32, white);
    for (int run = 0; run < 2; run++) {
        testing::internal::CaptureStderr();
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
        testing::internal::GetCapturedStderr();
        mvDrawColor1f(1);
        mvAtlasDrawDBG(atlas, 2, 2, 0, 0);
        uint8_t frame[8 * 8 * 4];
        MVRenderer *r = frontEnd().renderer();
        ASSERT_TRUE(frontOf(r).readPixels(frame, 8, 8));
        EXPECT_EQ(frame[4 * ((2 + area->y) * 8 + 2 + area->x)], 255) << "run " << run;
        mvDeinit();  // the renderer goes, and the atlas' texture with it
    }
    mvAtlasDestroy(atlas);
}

// The headless loop waits for the next frame instead of spinning.
TEST_F(Engine, HeadlessLoopSleepsBetweenFrames) {
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
    testing::internal::GetCapturedStderr();
    struct timespec wall0, cpu0, wall1, cpu1;
    clock_gettime(CLOCK_MONOTONIC, &wall0);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    for (int i = 0; i < 6; i++) {
        ASSERT_TRUE(mvLoop(0));
        mvWindowSwapBuffers();
    }
    clock_gettime(CLOCK_MONOTONIC, &wall1);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    double wall = (wall1.tv_sec - wall0.tv_sec) + (wall1.tv_nsec - wall0.tv_nsec) * 1e-9;
    double cpu = (cpu1.tv_sec - cpu0.tv_sec) + (cpu1.tv_nsec - cpu0.tv_nsec) * 1e-9;
    EXPECT_GE(wall, 5 * 0.015);  // five frame periods after the first call
    EXPECT_LT(cpu, wall / 2);
}

}  // namespace

namespace {
uint64_t frozenNs = 0;
uint64_t frozenClock() { return frozenNs; }
void countFiring(MVTimer *, void *data) { ++*static_cast<int *>(data); }
void shutDownFromTimer(MVTimer *, void *data) {
    ++*static_cast<int *>(data);
    mvDeinit();
}
}  // namespace

// Shutting the engine down releases the core's single-shot timers and stops the
// caller's, which stay valid until mvTimerDestroy: the usual C order (shut
// down, then free your objects) is sound, and nothing fires afterwards.
TEST_F(Engine, ShutDownKeepsTheCallersTimersAndStopsThem) {
    timerUseClock(frozenClock);
    frozenNs = 1000000000;
    int repeated = 0, single = 0;
    ASSERT_TRUE(mvInit(0));
    MVTimer *t = mvTimerCreate(0);
    mvTimerSetFunction(t, countFiring, &repeated);
    mvTimerMStart(t, 10);
    mvTimerMSingle(10, countFiring, &single, 0);
    mvDeinit();
    EXPECT_EQ(timerLiveCount(), 1u);
    EXPECT_FALSE(mvTimerIsRunning(t));
    frozenNs += 1000000000;
    EXPECT_EQ(mvTimerUpdateAll(0, 0), 0u);
    EXPECT_EQ(repeated + single, 0);
    mvTimerDestroy(t);
    EXPECT_EQ(timerLiveCount(), 0u);

    // Without mvInit too, and a stopped timer may be started again.
    t = mvTimerCreate(0);
    mvTimerSetFunction(t, countFiring, &repeated);
    mvTimerMStart(t, 10);
    mvDeinit();
    mvTimerMStart(t, 10);
    frozenNs += 10000000;
    EXPECT_EQ(mvTimerUpdateAll(0, 0), 1u);
    EXPECT_EQ(repeated, 1);
    mvTimerDestroy(t);
    timerUseClock(nullptr);
}

TEST_F(Engine, ShutDownFromATimerFunctionEndsTheUpdate) {
    timerUseClock(frozenClock);
    frozenNs = 1000000000;
    int fired = 0;
    ASSERT_TRUE(mvInit(0));
    mvTimerMSingle(10, shutDownFromTimer, &fired, 0);
    MVTimer *later = mvTimerCreate(0);
    mvTimerSetFunction(later, countFiring, &fired);
    mvTimerMStart(later, 10);
    frozenNs += 10000000;
    EXPECT_EQ(mvTimerUpdateAll(0, 0), 1u);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timerLiveCount(), 1u);
    mvTimerDestroy(later);
    timerUseClock(nullptr);
}

// The engine's calls belong to one thread. Debug builds catch a call from
// another one before it can touch the shared state.
TEST(EngineThreadDeathTest, CallsFromASecondThreadAbortInDebugBuilds) {
#ifdef NDEBUG
    GTEST_SKIP() << "checked in debug builds only";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            MVTimer *mine = mvTimerCreate(0);
            std::thread([] { mvTimerCreate(0); }).join();
            mvTimerDestroy(mine);
        },
        "mvTimerCreate called from a thread that is not the engine's thread");
    EXPECT_DEATH(
        {
            mvInit(0);
            std::thread([] { mvDrawBegin(3); }).join();
        },
        "mvDrawBegin called from a thread that is not the engine's thread");
#endif
}

// Once the engine is down and no timer is left, another thread may take it.
TEST(EngineThread, IsFreeAgainAfterShutDown) {
    timerReleaseAll();
    mvDeinit();
    MVTimer *t = mvTimerCreate(0);
    ASSERT_TRUE(mvInit(0));
    mvDeinit();
    mvTimerDestroy(t);
    bool started = false;
    std::thread([&] {
        started = mvInit(0);
        MVTimer *own = mvTimerCreate(0);
        mvTimerDestroy(own);
        mvDeinit();
    }).join();
    EXPECT_TRUE(started);
    EXPECT_EQ(timerLiveCount(), 0u);
}
