// Shapes, wide lines, the transform and sprite flips on the software
// renderer: which pixels they light, and that none is blended twice.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/render/frontend.h"
#include "core/render/renderer.h"
#include "core/render/soft_renderer.h"

namespace {

constexpr int W = 96, H = 80;

class ShapesOnSoftware : public ::testing::Test {
protected:
    MVRenderer *soft = softRendererCreate(W, H);
    MVRenderer *previous = frontEnd().install(soft);
    void SetUp() override {
        mvDrawResetTransform();
        mvDrawLineWidth(1);
        mvDrawClear();
    }
    void TearDown() override {
        mvDrawResetTransform();
        mvDrawLineWidth(1);
        frontEnd().install(previous);
        soft->destroy(soft->self);
    }
    std::vector<uint8_t> frame() {
        std::vector<uint8_t> rgba(size_t(W) * H * 4);
        EXPECT_TRUE(frontEnd().readPixels(rgba.data(), W, H));
        return rgba;
    }
    static uint8_t red(const std::vector<uint8_t> &f, int x, int y) { return f[4 * (size_t(y) * W + x)]; }
    // The pixels drawn on (any colour but clear black).
    static size_t lit(const std::vector<uint8_t> &f) {
        size_t n = 0;
        for (size_t i = 0; i < f.size(); i += 4) n += f[i] || f[i + 1] || f[i + 2];
        return n;
    }
};

// Each lit pixel must be exactly where the model says: a fault in a corner's
// order, a rounding of the size or a border that overlaps shows here.
TEST_F(ShapesOnSoftware, RectanglesLightTheirPixelsOnce) {
    mvDrawColor4f(1, 0, 0, 0.5f);
    mvDrawRect(2, 3, 5, 4);         // columns 2-6, rows 3-6
    mvDrawRect(20, 10, -5, -4);     // the same size from the other corner: columns 15-19, rows 6-9
    mvDrawRectLines(30, 20, 10, 8); // the outermost pixels only
    mvDrawLineWidth(3);
    mvDrawRectLines(50, 20, 12, 10);  // three pixels deep
    mvDrawRectLines(70, 20, 5, 6);    // thicker than half: filled
    std::vector<uint8_t> f = frame();
    auto expected = [](int x, int y) {
        if (x >= 2 && x <= 6 && y >= 3 && y <= 6) return true;
        if (x >= 15 && x <= 19 && y >= 6 && y <= 9) return true;
        if (x >= 30 && x <= 39 && y >= 20 && y <= 27) return x == 30 || x == 39 || y == 20 || y == 27;
        if (x >= 50 && x <= 61 && y >= 20 && y <= 29) return x <= 52 || x >= 59 || y <= 22 || y >= 27;
        return x >= 70 && x <= 74 && y >= 20 && y <= 25;
    };
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            uint8_t r = red(f, x, y);
            ASSERT_EQ(r, expected(x, y) ? 128 : 0) << "pixel (" << x << ", " << y << ")";
        }
}

// Filled circles and rings against the distance from the centre: a circle
// of too few sides (a fixed count) leaves pixels well inside a big one dark;
// a fan or strip that overlaps itself blends some pixel twice.
TEST_F(ShapesOnSoftware, CirclesAreRoundAtAnySizeAndBlendOnce) {
    struct Case {
        float x, y, r;
    };
    for (const Case &c : {Case{30, 30, 20}, Case{48, 2000, 1990}, Case{60, 40, 3.3f}}) {
        SCOPED_TRACE("radius " + std::to_string(c.r));
        mvDrawClear();
        mvDrawColor4f(1, 0, 0, 0.5f);
        mvDrawCircle(c.x, c.y, c.r);
        std::vector<uint8_t> f = frame();
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                double d = std::hypot(x + 0.5 - c.x, y + 0.5 - c.y);
                uint8_t r = red(f, x, y);
                ASSERT_TRUE(r == 0 || r == 128) << "blended twice at (" << x << ", " << y << ")";
                if (d < c.r - 0.3) {
                    ASSERT_EQ(r, 128) << "dark inside at (" << x << ", " << y << ")";
                }
                if (d > c.r) {
                    ASSERT_EQ(r, 0) << "lit outside at (" << x << ", " << y << ")";
                }
            }
    }
    mvDrawClear();
    mvDrawLineWidth(4);
    mvDrawCircleLines(40, 40, 20);
    std::vector<uint8_t> f = frame();
    size_t ring = 0;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            double d = std::hypot(x + 0.5 - 40, y + 0.5 - 40);
            uint8_t r = red(f, x, y);
            ASSERT_TRUE(r == 0 || r == 128) << "blended twice at (" << x << ", " << y << ")";
            if (d < 17.7 || d > 22) {
                ASSERT_EQ(r, 0) << "lit off the ring at (" << x << ", " << y << ")";
            }
            if (d > 18.3 && d < 21.7) {
                ASSERT_EQ(r, 128) << "dark on the ring at (" << x << ", " << y << ")";
            }
            ring += r != 0;
        }
    EXPECT_NEAR(double(ring), 3.14159265 * (22.0 * 22 - 18.0 * 18), 20.0);  // polygons a little inside the circles
}

// Wide lines: a horizontal one covers its width across and stops at its
// ends; each segment of a strip is there.
TEST_F(ShapesOnSoftware, WideLinesCoverTheirWidth) {
    mvDrawColor3f(1, 0, 0);
    mvDrawLineWidth(4);
    mvDrawBegin(MV_DRAW_LINES);
    mvDrawVertex2f(2, 10);
    mvDrawVertex2f(20, 10);
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_LINE_LOOP);
    mvDrawVertex2f(40, 40);
    mvDrawVertex2f(80, 40);
    mvDrawVertex2f(80, 70);
    mvDrawEnd();
    std::vector<uint8_t> f = frame();
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 30; x++)
            ASSERT_EQ(red(f, x, y) != 0, x >= 2 && x < 20 && y >= 8 && y < 12) << "(" << x << ", " << y << ")";
    EXPECT_NE(red(f, 60, 39), 0);  // top side, two pixels thick each way
    EXPECT_NE(red(f, 60, 41), 0);
    EXPECT_EQ(red(f, 60, 42), 0);
    EXPECT_NE(red(f, 81, 55), 0);  // right side
    EXPECT_NE(red(f, 60, 55), 0);  // the closing diagonal from (80, 70) back to (40, 40)
    EXPECT_EQ(red(f, 45, 60), 0);
    mvDrawLineWidth(0.5f);
    EXPECT_EQ(mvDrawGetLineWidth(), 1.0f);  // thinner than a pixel is the one-pixel rule
}

// A transformed shape lands where the transform puts it; push and pop
// restore; the stack has its depth and no more.
TEST_F(ShapesOnSoftware, TransformMovesShapesAndTheStackRestores) {
    mvDrawColor3f(1, 0, 0);
    mvDrawTranslate2f(10, 20);
    mvDrawScale2f(2, 3);
    ASSERT_TRUE(mvDrawPushTransform());
    mvDrawTranslate2f(100, 100);
    ASSERT_TRUE(mvDrawPopTransform());
    mvDrawRect(1, 1, 2, 2);  // on screen: x 12 to 16, y 23 to 29
    std::vector<uint8_t> f = frame();
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++)
            ASSERT_EQ(red(f, x, y) != 0, x >= 12 && x < 16 && y >= 23 && y < 29) << "(" << x << ", " << y << ")";
    mvDrawResetTransform();
    int pushed = 0;
    while (mvDrawPushTransform()) pushed++;
    EXPECT_EQ(pushed, MV_DRAW_TRANSFORM_DEPTH);
    while (mvDrawPopTransform()) pushed--;
    EXPECT_EQ(pushed, 0);
}

// mvDrawToWorld2f undoes mvDrawToScreen2f for chains of random steps; a
// mistake in the order of a product or of the inverse shows at once.
TEST(DrawTransform, ToWorldInvertsRandomTransforms) {
    std::mt19937 random(19);
    std::uniform_real_distribution<float> offset(-500, 500), angle(-7, 7), scale(0.1f, 8);
    for (int round = 0; round < 200; round++) {
        mvDrawResetTransform();
        int steps = 1 + round % 6;
        for (int k = 0; k < steps; k++) {
            switch (random() % 3) {
            case 0: mvDrawTranslate2f(offset(random), offset(random)); break;
            case 1: mvDrawRotate(angle(random)); break;
            default: mvDrawScale2f(random() % 2 ? scale(random) : -scale(random), scale(random)); break;
            }
        }
        float wx = offset(random), wy = offset(random), sx, sy, bx, by;
        ASSERT_TRUE(mvDrawToScreen2f(wx, wy, &sx, &sy));
        ASSERT_TRUE(mvDrawToWorld2f(sx, sy, &bx, &by));
        double size = 1 + std::fabs(wx) + std::fabs(wy) + std::fabs(sx) + std::fabs(sy);
        ASSERT_NEAR(bx, wx, 1e-4 * size) << "round " << round;
        ASSERT_NEAR(by, wy, 1e-4 * size) << "round " << round;
    }
    // A known case: turned a quarter, then moved.
    mvDrawResetTransform();
    mvDrawTranslate2f(100, 50);
    mvDrawRotate(float(M_PI / 2));
    float sx, sy;
    mvDrawToScreen2f(10, 0, &sx, &sy);
    EXPECT_NEAR(sx, 100, 1e-4);
    EXPECT_NEAR(sy, 60, 1e-4);
    mvDrawScale2f(0, 1);
    EXPECT_FALSE(mvDrawToWorld2f(1, 1, &sx, &sy));  // no inverse
    EXPECT_FALSE(mvDrawToScreen2f(1, 1, nullptr, &sy));
    mvDrawResetTransform();
}

// A sprite with a negative width is its mirror image; under a scale the
// same sprite drawn at the scaled size gives the same pixels.
TEST_F(ShapesOnSoftware, FlippedAndTransformedSprites) {
    MVAtlas *atlas = mvAtlasCreate(16, 16, 32);
    std::vector<uint8_t> texels(6 * 4 * 4);
    for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t(i * 37 % 251);
    for (size_t i = 3; i < texels.size(); i += 4) texels[i] = 255;
    MVImage image = {6, 4, texels.data()};
    MVAtlasArea *area = mvAtlasAreaFromImage(atlas, &image, 0);
    ASSERT_NE(area, nullptr);
    mvDrawColor1f(1);
    mvAtlasDrawArea(atlas, area, 20, 20, 18, 12, 0);
    mvAtlasDrawArea(atlas, area, 60, 20, -18, 12, 0);
    mvAtlasDrawArea(atlas, area, 20, 50, 18, -12, 0);
    std::vector<uint8_t> f = frame();
    size_t checked = 0;
    for (int y = 14; y < 26; y++)
        for (int x = 11; x < 29; x++) {
            ASSERT_NE(f[4 * (size_t(y) * W + x) + 3], 0);
            const uint8_t *p = &f[4 * (size_t(y) * W + x)];
            const uint8_t *across = &f[4 * (size_t(y) * W + (79 - x))];  // columns 11..28 -> 68..51
            const uint8_t *down = &f[4 * (size_t(69 - y) * W + x)];      // rows 14..25 -> 55..44
            ASSERT_EQ(memcmp(p, across, 4), 0) << "mirror across at (" << x << ", " << y << ")";
            ASSERT_EQ(memcmp(p, down, 4), 0) << "mirror down at (" << x << ", " << y << ")";
            checked++;
        }
    EXPECT_EQ(checked, 18u * 12u);

    mvDrawClear();
    mvAtlasDrawArea(atlas, area, 40, 30, 24, 16, 0);
    std::vector<uint8_t> plain = frame();
    mvDrawClear();
    mvDrawTranslate2f(40, 30);
    mvDrawScale2f(4, 4);
    mvAtlasDrawArea(atlas, area, 0, 0, 6, 4, 0);
    EXPECT_EQ(frame(), plain);
    EXPECT_GT(lit(plain), 300u);
    mvAtlasDestroy(atlas);
}

}  // namespace
