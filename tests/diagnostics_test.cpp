// What the engine tells a user when something does not work: mvGetError
// after a failed call, and the one-line notices on standard error.
#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/image.h>
#include <morven/window.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

::testing::AssertionResult Contains(const std::string &text, const std::string &part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" lacks \"" << part << "\"";
}

std::string tempDir() {
    char pattern[] = "/tmp/morven-diag-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

void copyFile(const std::string &from, const std::string &to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
}

class Diagnostics : public ::testing::Test {
protected:
    std::string dir = tempDir(), other = tempDir();
    void SetUp() override {
        unsetenv("MORVEN_MAX_FRAMES");
        unsetenv("MORVEN_SCREENSHOT");
        // Nothing to find: the search path holds only empty directories.
        setenv("MORVEN_MODULE_PATH", (dir + ":" + other).c_str(), 1);
        mvClearError();
    }
    void TearDown() override {
        mvDeinit();
        unsetenv("MORVEN_MAX_FRAMES");
        unsetenv("MORVEN_SCREENSHOT");
        unsetenv("MORVEN_MODULE_PATH");
    }
    // Starts the engine and returns what it wrote to standard error.
    std::string initCapturingStderr() {
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(mvInit(0));
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(Diagnostics, ModuleFailuresNameTheModuleAndWhereItWasLookedFor) {
    EXPECT_FALSE(mvLoadModule("NoSuchModule"));
    EXPECT_TRUE(Contains(mvGetError(), "\"NoSuchModule\""));

    EXPECT_FALSE(mvLoadModule("OpenGL"));
    std::string notFound = mvGetError();
    EXPECT_TRUE(Contains(notFound, "\"OpenGL\" not found"));
    EXPECT_TRUE(Contains(notFound, "morven-opengl.so"));
    EXPECT_TRUE(Contains(notFound, dir + ", " + other));

    // A file that is there but is no shared object: its path and dlopen's reason.
    std::ofstream(other + "/morven-opengl.so") << "not an ELF file";
    EXPECT_FALSE(mvLoadModule("OpenGL"));
    std::string refused = mvGetError();
    EXPECT_TRUE(Contains(refused, "\"OpenGL\" not loaded: " + other + "/morven-opengl.so"));
    EXPECT_FALSE(Contains(refused, "not found"));
    unlink((other + "/morven-opengl.so").c_str());

    // A success leaves the last failure alone; mvClearError forgets it.
    mvClearError();
    EXPECT_STREQ(mvGetError(), "");
}

#ifdef MORVEN_TEST_MODULE_DIR
TEST_F(Diagnostics, APluginUnderAnotherNameIsRefusedWithItsOwnName) {
    std::string stb = std::string(MORVEN_TEST_MODULE_DIR) + "/morven-image.so";
    if (access(stb.c_str(), R_OK) != 0) GTEST_SKIP() << "the Image module is not built";
    copyFile(stb, dir + "/morven-opengl.so");
    EXPECT_FALSE(mvLoadModule("OpenGL"));
    EXPECT_TRUE(Contains(mvGetError(), "calls itself \"Image\""));
    unlink((dir + "/morven-opengl.so").c_str());

    // The real decoder says why a file does not decode.
    setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
    ASSERT_TRUE(mvLoadModule("Image"));
    std::string junk = dir + "/junk.png";
    std::ofstream(junk) << "no picture";
    EXPECT_EQ(mvImageLoad(junk.c_str(), nullptr), nullptr);
    EXPECT_TRUE(Contains(mvGetError(), "image " + junk + " not decoded: "));
    unlink(junk.c_str());
}
#endif

TEST_F(Diagnostics, HeadlessNoticeNamesTheMissingModuleNotTheDisplay) {
    EXPECT_FALSE(mvLoadModule("SDL"));
    std::string notice = initCapturingStderr();
    EXPECT_TRUE(Contains(notice, "MORVEN: module \"SDL\" not found"));
    EXPECT_TRUE(Contains(notice, "; running headless\n"));
    EXPECT_FALSE(Contains(notice, "no display"));
    mvDeinit();
    // Without asking for the module at all, the notice says so.
    EXPECT_TRUE(Contains(initCapturingStderr(), "MORVEN: no SDL module loaded; running headless"));
    EXPECT_EQ(mvImageLoad("/dev/null", nullptr), nullptr);
    EXPECT_TRUE(Contains(mvGetError(), "\"Image\" module is not loaded"));
}

TEST_F(Diagnostics, WindowAndScreenshotFailuresSayWhy) {
    EXPECT_FALSE(mvWindowOpen(64, 64, 32, 0));
    EXPECT_TRUE(Contains(mvGetError(), "not started"));

    std::string shot = dir + "/missing-folder/shot.png";
    setenv("MORVEN_SCREENSHOT", shot.c_str(), 1);
    initCapturingStderr();
    EXPECT_FALSE(mvWindowOpen(-4, 64, 32, 0));
    EXPECT_TRUE(Contains(mvGetError(), "-4x64"));
    ASSERT_TRUE(mvWindowOpen(16, 8, 32, 0));
    EXPECT_FALSE(mvWindowOpen(16, 8, 32, 0));
    EXPECT_TRUE(Contains(mvGetError(), "already open"));
    mvWindowSwapBuffers();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(mvDeinit());
    std::string err = ::testing::internal::GetCapturedStderr();
    std::string line = "screenshot " + shot + " not written: cannot create a file in its directory: " + strerror(ENOENT);
    EXPECT_EQ(err, "MORVEN: " + line + "\n");
    EXPECT_EQ(mvGetError(), line);
}

TEST_F(Diagnostics, AFrameLimitThatIsNoCountIsReportedOnce) {
    for (const char *bad : {"abc", "-1", "12x", "+3", " 4", "99999999999999999999999"}) {
        SCOPED_TRACE(bad);
        setenv("MORVEN_MAX_FRAMES", bad, 1);
        std::string err = initCapturingStderr();
        EXPECT_TRUE(Contains(err, "MORVEN_MAX_FRAMES=\"" + std::string(bad) + "\" is not a non-negative integer"));
        mvDeinit();
    }
    setenv("MORVEN_MAX_FRAMES", "2", 1);
    EXPECT_FALSE(Contains(initCapturingStderr(), "MORVEN_MAX_FRAMES"));
    ASSERT_TRUE(mvWindowOpen(8, 8, 32, 0));
    int frames = 0;
    while (mvLoop(0) && frames < 10) {
        mvWindowSwapBuffers();
        frames++;
    }
    EXPECT_EQ(frames, 2);
}

TEST_F(Diagnostics, AThreadCountOutOfRangeIsReportedWhenTheWindowOpens) {
    for (const char *bad : {"0", "9", "two", "-1", "3x"}) {
        SCOPED_TRACE(bad);
        setenv("MORVEN_THREADS", bad, 1);
        initCapturingStderr();
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(mvWindowOpen(8, 8, 32, 0));
        EXPECT_TRUE(Contains(::testing::internal::GetCapturedStderr(),
                             "MORVEN_THREADS=\"" + std::string(bad) + "\" is not a count from 1 to 8"));
        mvDeinit();
    }
    for (const char *good : {"1", "8"}) {
        setenv("MORVEN_THREADS", good, 1);
        initCapturingStderr();
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(mvWindowOpen(8, 8, 32, 0));
        EXPECT_FALSE(Contains(::testing::internal::GetCapturedStderr(), "MORVEN_THREADS")) << good;
        mvDeinit();
    }
    unsetenv("MORVEN_THREADS");
}

}  // namespace
