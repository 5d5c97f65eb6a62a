// A child of fork goes on drawing and shuts down, after the parent's
// software renderer started its sprite threads: the threads do not exist in
// the child, and waiting for them hangs it for ever.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/window.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <vector>

#include "core/render/frontend.h"

namespace {

constexpr int W = 200, H = 160;

// Sprites enough to be shared among the threads: each covers most of the frame.
void drawSprites(MVAtlas *atlas, MVAtlasArea *area, float red) {
    mvDrawColor4f(red, 1, 1, 1);
    for (int i = 0; i < 8; i++) mvAtlasDrawArea(atlas, area, W / 2.0f, H / 2.0f, W, H, 0);
}

uint8_t redAtCentre() {
    std::vector<uint8_t> frame(size_t(W) * H * 4);
    if (!frontEnd().readPixels(frame.data(), W, H)) return 0;
    return frame[4 * (size_t(H / 2) * W + W / 2)];
}

}  // namespace

TEST(Fork, AChildDrawsAndShutsDownAfterTheSpriteThreadsStarted) {
    setenv("MORVEN_THREADS", "4", 1);
    unsetenv("MORVEN_SCREENSHOT");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(mvInit(0));
    ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
    testing::internal::GetCapturedStderr();
    unsetenv("MORVEN_THREADS");
    MVAtlas *atlas = mvAtlasCreate(16, 16, 32);
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, 16, 16, 0);
    {
        // Freed before the fork: the child leaves by _exit, and memory checkers count what it still holds.
        std::vector<uint8_t> white(16 * 16 * 4, 255);
        ASSERT_TRUE(mvAtlasAreaSetData(atlas, area, 16, 16, 32, white.data()));
    }
    drawSprites(atlas, area, 1.0f);
    ASSERT_EQ(redAtCentre(), 255);  // reading the frame draws the batch, on the threads

    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        alarm(1);  // a hang ends the child by SIGALRM
        // Twice, so that the threads started anew in the child are used again.
        drawSprites(atlas, area, 0.0f);
        int ok = redAtCentre() == 0;
        drawSprites(atlas, area, 1.0f);
        ok = ok && redAtCentre() == 255;
        mvAtlasDestroy(atlas);
        mvDeinit();
        _exit(ok ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "the child was ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "the child drew the wrong pixels";

    // The parent's threads are untouched by the child.
    drawSprites(atlas, area, 0.0f);
    EXPECT_EQ(redAtCentre(), 0);
    mvAtlasDestroy(atlas);
    mvDeinit();
}
