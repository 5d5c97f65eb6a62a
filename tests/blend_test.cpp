// Blend modes on the software renderer: the 8-bit arithmetic of draw.h at
// its edges, for shapes and sprites, and the mode as drawing state.
#include <gtest/gtest.h>
#include <morven/draw.h>
#include <morven/error.h>

#include <cstring>
#include <string>

#include "core/render/soft_renderer.h"
#include "front_of.h"

namespace {

class Blend : public ::testing::Test {
protected:
    static constexpr int W = 8, H = 4;
    MVRenderer *r = nullptr, *previous = nullptr;

    void SetUp() override {
        r = softRendererCreate(W, H);
        ASSERT_NE(r, nullptr);
        previous = frontEnd().install(r);
        // Every pixel (100, 200, 50), alpha 255.
        mvDrawClearColor(100 / 255.0f, 200 / 255.0f, 50 / 255.0f);
        mvDrawClear();
    }
    void TearDown() override {
        mvDrawBlend(MV_BLEND_ALPHA);
        mvDrawClearColor(0, 0, 0);
        frontEnd().install(previous);
        destroyRenderer(r);
    }
    // The bytes of pixel x of row 0 after a one-pixel rectangle there in
    // the colour and mode.
    std::string paint(int x, int mode, float red, float green, float blue, float alpha) {
        EXPECT_TRUE(mvDrawBlend(mode));
        mvDrawColor4f(red, green, blue, alpha);
        mvDrawRect(float(x), 0, 1, 1);
        return at(x, 0);
    }
    std::string at(int x, int y) {
        frontEnd().submit();
        const uint8_t *p = softRendererPixels(r) + 4 * (size_t(y) * W + x);
        return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + " " +
               std::to_string(p[3]);
    }
};

TEST_F(Blend, SourceOverAtAlphaZeroHalfAndOne) {
    EXPECT_EQ(paint(0, MV_BLEND_ALPHA, 1, 0, 1, 0), "100 200 50 255");
    EXPECT_EQ(paint(1, MV_BLEND_ALPHA, 0.2f, 0.4f, 0.6f, 1), "51 102 153 255");
    // a = 128: [255 * 128] + [100 * 127] = 128 + 50; [200 * 127] = 100 (99.6);
    // alpha [128 * 128] + [255 * 127] = 64 + 127.
    EXPECT_EQ(paint(2, MV_BLEND_ALPHA, 1, 0, 0, 128 / 255.0f), "178 100 25 191");
}

TEST_F(Blend, AddWeighsBySourceAlphaAndSaturates) {
    EXPECT_EQ(paint(0, MV_BLEND_ADD, 1, 1, 1, 0), "100 200 50 255");
    EXPECT_EQ(paint(1, MV_BLEND_ADD, 0, 0, 0, 1), "100 200 50 255");
    // 200 + 100, 100 + 200 saturate; 50 + 20.
    EXPECT_EQ(paint(2, MV_BLEND_ADD, 200 / 255.0f, 100 / 255.0f, 20 / 255.0f, 1), "255 255 70 255");
    // Half alpha: [200 * 128] = 100 (100.4), [20 * 128] = 10 (10.04).
    EXPECT_EQ(paint(3, MV_BLEND_ADD, 200 / 255.0f, 0, 20 / 255.0f, 128 / 255.0f), "200 200 60 255");
}

TEST_F(Blend, MultiplyByWhiteKeepsByBlackClearsAndIgnoresAlpha) {
    EXPECT_EQ(paint(0, MV_BLEND_MULTIPLY, 1, 1, 1, 1), "100 200 50 255");
    EXPECT_EQ(paint(1, MV_BLEND_MULTIPLY, 0, 0, 0, 1), "0 0 0 255");
    // [100 * 128] = 50 (50.2), [200 * 128] = 100 (100.4), [50 * 64] = 13 (12.5...).
    EXPECT_EQ(paint(2, MV_BLEND_MULTIPLY, 128 / 255.0f, 128 / 255.0f, 64 / 255.0f, 0), "50 100 13 255");
}

TEST_F(Blend, NoneReplacesColourAndAlpha) {
    EXPECT_EQ(paint(0, MV_BLEND_NONE, 0.2f, 0.4f, 0.6f, 0), "51 102 153 0");
    EXPECT_EQ(paint(1, MV_BLEND_NONE, 1, 0, 0, 128 / 255.0f), "255 0 0 128");
    // Then "source over" onto the transparent pixel leaves its alpha [a * a].
    EXPECT_EQ(paint(0, MV_BLEND_ALPHA, 1, 1, 1, 128 / 255.0f), "153 179 204 64");
}

// Sprites go through the same arithmetic, tinted or not: the fast paths of
// untinted "source over" sprites are not taken in the other modes.
TEST_F(Blend, SpritesBlendInEveryMode) {
    FrontEnd &f = frontEnd();
    uint32_t tex = f.textureCreate(1, 1);
    ASSERT_NE(tex, 0u);
    const uint8_t texel[4] = {255, 0, 128, 128};
    f.textureUpdate(tex, 0, 0, 1, 1, texel);
    const int modes[] = {MV_BLEND_ALPHA, MV_BLEND_ADD, MV_BLEND_MULTIPLY, MV_BLEND_NONE};
    const char *untinted[] = {"178 100 89 191", "228 200 114 255", "100 0 25 255", "255 0 128 128"};
    for (int m = 0; m < 4; m++) {
        ASSERT_TRUE(mvDrawBlend(modes[m]));
        mvDrawColor1f(1);
        drawWhole(f, tex, 1, 1, float(m), 1, 1, 1);
        EXPECT_EQ(at(m, 1), untinted[m]) << "mode " << modes[m];
    }
    // Tinted by (1, 1, 0.5, 0.5): texel blue [128 * 0.5] = 64, alpha 64.
    ASSERT_TRUE(mvDrawBlend(MV_BLEND_NONE));
    mvDrawColor4f(1, 1, 0.5f, 0.5f);
    drawWhole(f, tex, 1, 1, 4, 1, 1, 1);
    EXPECT_EQ(at(4, 1), "255 0 64 64");
    f.textureDestroy(tex);
}

TEST_F(Blend, UnknownModesAreRefusedAndTheModeStays) {
    EXPECT_EQ(mvDrawGetBlend(), MV_BLEND_ALPHA);
    ASSERT_TRUE(mvDrawBlend(MV_BLEND_ADD));
    EXPECT_FALSE(mvDrawBlend(4));
    EXPECT_NE(std::strstr(mvGetError(), "blend mode"), nullptr) << mvGetError();
    EXPECT_FALSE(mvDrawBlend(-1));
    EXPECT_EQ(mvDrawGetBlend(), MV_BLEND_ADD);
    EXPECT_EQ(paint(0, MV_BLEND_ADD, 0, 0, 40 / 255.0f, 1), "100 200 90 255");
}

// A mode change ends a primitive still open: its vertices were drawn in the
// mode of their time.
TEST_F(Blend, ChangingTheModeEndsAnOpenPrimitive) {
    mvDrawColor3f(0, 0, 40 / 255.0f);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(0, 0);
    ASSERT_TRUE(mvDrawBlend(MV_BLEND_ADD));
    mvDrawVertex2f(1, 0);  // after the end: dropped
    mvDrawEnd();
    EXPECT_EQ(at(0, 0), "0 0 40 255");
    EXPECT_EQ(at(1, 0), "100 200 50 255");
}

// A new renderer starts in "source over", and so do the drawing calls.
TEST_F(Blend, InstallingARendererResetsTheMode) {
    ASSERT_TRUE(mvDrawBlend(MV_BLEND_MULTIPLY));
    MVRenderer *other = softRendererCreate(W, H);
    ASSERT_NE(other, nullptr);
    frontEnd().install(other);
    EXPECT_EQ(mvDrawGetBlend(), MV_BLEND_ALPHA);
    mvDrawColor4f(1, 0, 0, 128 / 255.0f);
    mvDrawRect(0, 0, 1, 1);
    frontEnd().submit();
    EXPECT_EQ(softRendererPixels(other)[0], 128);
    frontEnd().install(r);
    destroyRenderer(other);
}

}  // namespace
