// Every failure the public headers describe, made to happen: each call must
// report it (false or null) and leave a reason in mvGetError that says what
// went wrong. Several calls used to fail with mvGetError empty.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/bank.h>
#include <morven/directory.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/gradient.h>
#include <morven/image.h>
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>
#include <morven/timer.h>
#include <morven/trail.h>
#include <morven/window.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "alloc_fail.h"

namespace {

struct Failure {
    const char *what;
    std::function<bool()> fails;  // makes the call; true when it reported failure
    std::vector<std::string> says;  // parts the reason must hold
};

// Runs each case from a cleared message; the reason must name each part.
void expectReasons(const std::vector<Failure> &cases) {
    for (const Failure &f : cases) {
        SCOPED_TRACE(f.what);
        mvClearError();
        ASSERT_TRUE(f.fails()) << "the call should report failure";
        std::string reason = mvGetError();
        EXPECT_NE(reason, "") << "no reason given";
        for (const std::string &part : f.says) EXPECT_NE(reason.find(part), std::string::npos) << reason;
    }
}

int cmp(const void *a, const void *b) { return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b)); }

class Failures : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("MORVEN_SCREENSHOT");
        unsetenv("MORVEN_INPUT_SCRIPT");
        unsetenv("MORVEN_MAX_FRAMES");
    }
    void TearDown() override { mvDeinit(); }
};

}  // namespace

TEST_F(Failures, EngineAndWindowSayWhy) {
    testing::internal::CaptureStderr();
    expectReasons({
        {"mvInit with flags", [] { return !mvInit(1); }, {"mvInit", "flags", "must be 0", "not 1"}},
        {"mvLoop before mvInit", [] { return !mvLoop(0); }, {"mvLoop", "not started"}},
        {"mvWindowOpen before mvInit", [] { return !mvWindowOpen(8, 8, 32, 0); }, {"not started"}},
        {"mvLoadModule(null)", [] { return !mvLoadModule(nullptr); }, {"no module name"}},
        {"mvLoadModule of an unknown name", [] { return !mvLoadModule("Sound"); }, {"\"Sound\""}},
    });
    ASSERT_TRUE(mvInit(0));
    testing::internal::GetCapturedStderr();
    expectReasons({
        {"mvLoop without a window", [] { return !mvLoop(0); }, {"mvLoop", "no window"}},
        {"mvWindowOpen with flags", [] { return !mvWindowOpen(8, 8, 32, 4); }, {"flags", "must be 0", "not 4"}},
        {"mvWindowOpen at 24 bits", [] { return !mvWindowOpen(8, 8, 24, 0); }, {"bits per pixel", "not 24"}},
        {"mvWindowOpen with no width", [] { return !mvWindowOpen(0, 8, 32, 0); }, {"0x8"}},
        {"mvImageLoad(null)", [] { return !mvImageLoad(nullptr, nullptr); }, {"no path"}},
    });
    ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
    expectReasons({{"a second window", [] { return !mvWindowOpen(8, 8, 32, 0); }, {"already open"}}});
}

TEST_F(Failures, AtlasSaysWhy) {
    MVAtlas *atlas = mvAtlasCreate(16, 16, 32);
    ASSERT_NE(atlas, nullptr);
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, 4, 4, 0);
    ASSERT_NE(area, nullptr);
    MVAtlasArea stranger = {0, 0, 4, 4};
    const uint8_t pixels[4 * 4 * 4] = {};
    MVImage big = {32, 2, const_cast<uint8_t *>(pixels)};
    expectReasons({
        {"24 bits per pixel", [] { return !mvAtlasCreate(16, 16, 24); }, {"mvAtlasCreate", "bits per pixel", "not 24"}},
        {"no width", [] { return !mvAtlasCreate(0, 16, 32); }, {"0 x 16"}},
        {"too wide", [] { return !mvAtlasCreate(65536, 1, 32); }, {"65536 x 1"}},
        {"a negative size", [&] { return !mvAtlasAreaReserve(atlas, -4, 4, 0); }, {"-4 x 4"}},
        {"a negative padding", [&] { return !mvAtlasAreaReserve(atlas, 4, 4, -1); }, {"padding -1"}},
        {"larger than the atlas", [&] { return !mvAtlasAreaReserve(atlas, 17, 4, 0); }, {"17 x 4", "16 x 16"}},
        {"no room left", [&] { return !mvAtlasAreaReserve(atlas, 16, 16, 0); }, {"no room", "16 x 16"}},
        {"reserve in no atlas", [] { return !mvAtlasAreaReserve(nullptr, 1, 1, 0); }, {"no atlas"}},
        {"data at 24 bits", [&] { return !mvAtlasAreaSetData(atlas, area, 4, 4, 24, pixels); }, {"not 24"}},
        {"data for a stranger", [&] { return !mvAtlasAreaSetData(atlas, &stranger, 4, 4, 32, pixels); },
         {"not one of this atlas"}},
        {"no pixels", [&] { return !mvAtlasAreaSetData(atlas, area, 4, 4, 32, nullptr); }, {"no pixels"}},
        {"an image wider than the atlas", [&] { return !mvAtlasAreaFromImage(atlas, &big, 0); },
         {"mvAtlasAreaFromImage", "32 x 2"}},
        {"no image", [&] { return !mvAtlasAreaFromImage(atlas, nullptr, 0); }, {"no image"}},
    });
    mvAtlasDestroy(atlas);
}

TEST_F(Failures, TimersAndDirectoriesSayWhy) {
    MVDirectory *dir = mvDirectoryOpen("/");
    ASSERT_NE(dir, nullptr);
    expectReasons({
        {"timer flags", [] { return !mvTimerCreate(8); }, {"mvTimerCreate", "flags", "not 8"}},
        {"single-shot flags", [] { return !mvTimerMSingle(1, nullptr, nullptr, MV_TIMER_CATCH_UP); },
         {"mvTimerMSingle", "not 2"}},
        {"start no timer", [] { return !mvTimerMStart(nullptr, 1); }, {"no timer"}},
        {"a missing directory", [] { return !mvDirectoryOpen("/nonexistent/morven"); },
         {"/nonexistent/morven", std::strerror(ENOENT)}},
        {"a file as a directory", [] { return !mvDirectoryOpen("/dev/null"); }, {std::strerror(ENOTDIR)}},
        {"directory flags", [&] { return !mvDirectoryNext(dir, nullptr, 16); }, {"flags", "not 16"}},
    });
    // The end of a listing is no failure: the message stays as it was.
    mvClearError();
    while (mvDirectoryNext(dir, nullptr, MV_DIRECTORY_SKIP_DOTS)) {
    }
    EXPECT_STREQ(mvGetError(), "");
    mvDirectoryClose(dir);
    mvTimerMSingle(1, nullptr, nullptr, MV_TIMER_ONCE);  // the implied flag may be given
    EXPECT_STREQ(mvGetError(), "");
}

TEST_F(Failures, OutOfMemorySaysSo) {
    MVSet *set = mvSetCreate(cmp, nullptr);
    MVMap *map = mvMapCreate(cmp, nullptr);
    MVSMap *smap = mvSMapCreate();
    std::vector<Failure> cases = {
        {"mvSetCreate", [] { return !mvSetCreate(cmp, nullptr); }, {"out of memory"}},
        {"mvMapCreate", [] { return !mvMapCreate(cmp, nullptr); }, {"out of memory"}},
        {"mvSMapCreate", [] { return !mvSMapCreate(); }, {"out of memory"}},
        {"mvSetInsert", [&] { return !mvSetInsert(set, const_cast<char *>("a")); }, {"out of memory"}},
        {"mvMapAssignNode", [&] { return !mvMapAssignNode(map, const_cast<char *>("a"), nullptr); }, {"out of memory"}},
        {"mvSMapAssignNode", [&] { return !mvSMapAssignNode(smap, "a", nullptr); }, {"out of memory"}},
        {"mvGradientCreate", [] { return !mvGradientCreate(); }, {"out of memory"}},
        {"mvTrailCreate", [] { return !mvTrailCreate(4); }, {"out of memory"}},
        {"mvBankCreate", [] { return !mvBankCreate("%s", nullptr, nullptr); }, {"out of memory"}},
        {"mvAtlasCreate", [] { return !mvAtlasCreate(8, 8, 32); }, {"out of memory"}},
        {"mvTimerCreate", [] { return !mvTimerCreate(0); }, {"out of memory"}},
        {"mvTimerMSingle", [] { return !mvTimerMSingle(1, nullptr, nullptr, 0); }, {"out of memory"}},
    };
    for (Failure &f : cases) {
        auto call = f.fails;
        f.fails = [call] {
            allocfail::failAt(0, true);
            bool failed = call();
            allocfail::disarm();
            return failed;
        };
    }
    expectReasons(cases);
    mvSetDestroy(set);
    mvMapDestroy(map);
    mvSMapDestroy(smap);
}

namespace {

// A loader that refuses every path, giving a reason for some of them.
void *refuse(const char *path, void *) {
    if (std::strstr(path, ".png")) mvImageLoad("/nonexistent/dir.png", nullptr);  // leaves its own reason
    return nullptr;
}

}  // namespace

TEST_F(Failures, ABankNamesEveryPathItTried) {
    MVBank *bank = mvBankCreate("art/%s.png|art/%s.bmp|%s", refuse, nullptr);
    ASSERT_NE(bank, nullptr);
    expectReasons({{"three paths", [&] { return !mvBankLoad(bank, "hero", nullptr); },
                    {"\"hero\"", "art/hero.png (", "/nonexistent/dir.png", "art/hero.bmp (", "hero (",
                     "no reason given"}}});
    MVBank *none = mvBankCreate(nullptr, nullptr, nullptr);
    expectReasons({{"no loader", [&] { return !mvBankLoad(none, "x", nullptr); }, {"no load function"}}});
    mvBankDestroy(bank);
    mvBankDestroy(none);

    // A load that succeeds after refusals leaves the earlier failure alone.
    static int found;
    MVBank *second = mvBankCreate("art/%s.png|%s", [](const char *path, void *) -> void * {
        return std::strstr(path, ".png") ? refuse(path, nullptr) : &found;
    }, nullptr);
    mvLoadModule("Sound");
    std::string before = mvGetError();
    EXPECT_EQ(mvBankLoad(second, "hero", nullptr), &found);
    EXPECT_EQ(mvGetError(), before);
    mvBankDestroy(second);
}

// The calls with no failure to report keep working with a bad flag and say
// so once.
TEST_F(Failures, IgnoredFlagsWarnOnceAndKeepWorking) {
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
    std::string start = testing::internal::GetCapturedStderr();
    MVAtlas *atlas = mvAtlasCreate(4, 4, 32);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(mvLoop(7));
    EXPECT_TRUE(mvLoop(7));
    mvAtlasDrawDBG(atlas, 0, 0, 3, MV_ATLAS_DRAW_FRAMES);
    mvAtlasDrawDBG(atlas, 0, 0, 3, MV_ATLAS_DRAW_FRAMES);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err,
              "MORVEN: mvLoop: flags must be 0, not 7; ignored\n"
              "MORVEN: mvAtlasDrawDBG: flags must be 0, not 3; ignored\n");
    mvAtlasDestroy(atlas);
}
