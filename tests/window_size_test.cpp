// Window sizes headless: resizes from a replay, the logical size with its
// letterbox and pointer mapping, and the window calls that need a display.
#include <gtest/gtest.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/input.h>
#include <morven/window.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/engine/engine_state.h"
#include "core/render/frontend.h"
#include "headless_replay.h"

namespace {

class WindowSize : public HeadlessReplay {
protected:
    std::string start(const std::string &text, int w, int h, int flags = MV_WINDOW_RESIZABLE) {
        return startReplay(text, w, h, flags);
    }
    static std::vector<uint8_t> frame(int w, int h) {
        std::vector<uint8_t> rgba(size_t(w) * h * 4);
        EXPECT_TRUE(frontEnd().readPixels(rgba.data(), w, h)) << "the frame is not " << w << "x" << h;
        return rgba;
    }
};

void fillRect(float x, float y, float w, float h) {
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);
    mvDrawVertex2f(x, y);
    mvDrawVertex2f(x + w, y);
    mvDrawVertex2f(x + w, y + h);
    mvDrawVertex2f(x, y + h);
    mvDrawEnd();
}

// Headless, a replayed resize gives the framebuffer the new size, seen by
// mvWindowGetSize, drawn into up to its new edges.
TEST_F(WindowSize, AReplayedResizeChangesTheFramebuffer) {
    std::string err = start("1 resize 40 30\n2 resize 0 5\n2 resize 20000 5\n", 16, 12);
    EXPECT_NE(err.find("line 2: \"resize\""), std::string::npos) << err;
    EXPECT_NE(err.find("line 3: \"resize\""), std::string::npos) << err;
    ASSERT_TRUE(mvLoop(0));
    int w = 0, h = 0;
    mvWindowGetSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 16012);
    ASSERT_TRUE(mvLoop(0));
    mvWindowGetSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 40030);
    mvWindowGetLogicalSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 40030);
    mvDrawClear();
    mvDrawColor3f(1, 0, 0);
    fillRect(30, 20, 10, 10);
    mvWindowSwapBuffers();
    std::vector<uint8_t> rgba = frame(40, 30);
    EXPECT_EQ(rgba[4 * (29 * 40 + 39)], 255);  // the last pixel is inside the frame
    EXPECT_EQ(rgba[4 * (19 * 40 + 39)], 0);
}

// A logical size: frames at that size, the pointer mapped from window
// pixels through the letterbox, resizes changing the window and not the
// frame, and 0 x 0 going back.
TEST_F(WindowSize, LogicalSizeKeepsTheFrameAndMapsThePointer) {
    start("0 mouse 32 24\n"
          "1 resize 80 48\n"
          "1 mouse 16 4\n"
          "2 mouse 4 47\n",
          64, 48);
    EXPECT_FALSE(mvWindowSetLogicalSize(0, 17));
    EXPECT_FALSE(mvWindowSetLogicalSize(-1, -1));
    ASSERT_TRUE(mvWindowSetLogicalSize(16, 12));
    frame(16, 12);
    ASSERT_TRUE(mvLoop(0));
    float x = 0, y = 0;
    mvInputMouse(&x, &y);
    EXPECT_EQ(x, 8.0f);
    EXPECT_EQ(y, 6.0f);
    ASSERT_TRUE(mvLoop(0));  // 80 x 48: the frame 64 x 48 at x = 8
    int w = 0, h = 0;
    mvWindowGetSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 80048);
    mvWindowGetLogicalSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 16012);
    mvInputMouse(&x, &y);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 1.0f);
    ASSERT_TRUE(mvLoop(0));
    mvInputMouse(&x, &y);
    EXPECT_EQ(x, -1.0f);  // left of the frame
    EXPECT_EQ(y, 11.75f);
    ASSERT_TRUE(mvWindowSetLogicalSize(0, 0));
    mvWindowGetLogicalSize(&w, &h);
    EXPECT_EQ(w * 1000 + h, 80048);
    frame(80, 48);
}

// Flags beyond MV_WINDOW_RESIZABLE are refused; headless there is no full
// screen and no waiting for a display, and the calls say why.
TEST_F(WindowSize, HeadlessWindowCallsSayWhyTheyCannot) {
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    EXPECT_FALSE(mvWindowSetLogicalSize(8, 8));
    EXPECT_FALSE(mvWindowOpen(8, 8, 32, 2));
    ASSERT_TRUE(mvWindowOpen(8, 8, 32, MV_WINDOW_RESIZABLE));
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(mvWindowSetFullscreen(true));
    EXPECT_NE(std::string(mvGetError()).find("headless"), std::string::npos) << mvGetError();
    EXPECT_FALSE(mvWindowSetVSync(true));
    EXPECT_NE(std::string(mvGetError()).find("mvWindowSetVSync"), std::string::npos) << mvGetError();
}

}  // namespace
