// Sprites drawn from an atlas by the software renderer, checked pixel by
// pixel against a brute-force model of the rule in core/render/renderer.h.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/error.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"

namespace {

constexpr int W = 96, H = 80;

// Every texel of the test image has its own colour.
std::vector<uint8_t> distinctTexels(int w, int h) {
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
            uint8_t *p = &rgba[4 * (size_t(j) * w + i)];
            p[0] = uint8_t(20 + 9 * i);
            p[1] = uint8_t(20 + 11 * j);
            p[2] = uint8_t(200 - 5 * (i + j));
            p[3] = i == w - 1 ? 0 : j == 2 ? uint8_t(60 + 20 * i) : 255;  // a clear column, a translucent row
        }
    return rgba;
}

// What one sprite makes of a frame, worked out for every pixel on its
// own in long double: inside all four edges (a centre on an edge counts for
// a left or a bottom edge), the texel under the centre mapped back into the
// source, blended in 8-bit arithmetic with each product rounded.
std::vector<uint8_t> modelSprite(const MVSprite &s, const std::vector<uint8_t> &texels, int texW,
                                 std::vector<uint8_t> frame) {
    float fx[4], fy[4];
    spriteCorners(s, fx, fy);
    long double x[4], y[4];
    for (int k = 0; k < 4; k++) x[k] = fx[k], y[k] = fy[k];
    long double e1x = x[1] - x[0], e1y = y[1] - y[0], e2x = x[3] - x[0], e2y = y[3] - y[0];
    long double det = e1x * e2y - e1y * e2x;
    for (int j = 0; j < H; j++)
        for (int i = 0; i < W; i++) {
            long double px = i + 0.5L, py = j + 0.5L;
            bool in = true;
            for (int k = 0; k < 4 && in; k++) {
                int a = det > 0 ? k : (4 - k) % 4, b = det > 0 ? (k + 1) % 4 : (3 - k) % 4;
                long double e = (x[b] - x[a]) * (py - y[a]) - (y[b] - y[a]) * (px - x[a]);
                bool owned = y[b] < y[a] || (y[b] == y[a] && x[b] < x[a]);
                in = e > 0 || (e == 0 && owned);
            }
            if (!in) continue;
            long double u = ((px - x[0]) * e2y - (py - y[0]) * e2x) / det * s.sw;
            long double v = ((py - y[0]) * e1x - (px - x[0]) * e1y) / det * s.sh;
            int tx = std::min(std::max(0, int(std::floor(u))), s.sw - 1);
            int ty = std::min(std::max(0, int(std::floor(v))), s.sh - 1);
            const uint8_t *t = &texels[4 * (size_t(s.sy + ty) * texW + s.sx + tx)];
            uint8_t *p = &frame[4 * (size_t(j) * W + i)];
            for (int c = 0; c < 4; c++) {
                long double product = (c < 3 ? t[c] : t[3]) * t[3] / 255.0L, kept = p[c] * (255 - t[3]) / 255.0L;
                p[c] = uint8_t(std::lround(product) + std::lround(kept));
            }
        }
    return frame;
}

class Sprites : public ::testing::Test {
protected:
    MVRenderer *r = nullptr;
    MVRenderer *previous = nullptr;
    MVAtlas *atlas = nullptr;
    MVAtlasArea *area = nullptr;
    std::vector<uint8_t> atlasPixels;  // the atlas image as the model sees it

    void SetUp() override {
        r = softRendererCreate(W, H);
        ASSERT_NE(r, nullptr);
        previous = frontEnd().install(r);
        atlas = mvAtlasCreate(32, 32, 32);
        ASSERT_NE(atlas, nullptr);
        ASSERT_NE(mvAtlasAreaReserve(atlas, 3, 5, 0), nullptr);  // the sprite's area is not at the origin
        std::vector<uint8_t> texels = distinctTexels(12, 9);
        MVImage image = {12, 9, texels.data()};
        area = mvAtlasAreaFromImage(atlas, &image, 1);
        ASSERT_NE(area, nullptr);
        atlasPixels.assign(32 * 32 * 4, 0);
        for (int j = 0; j < 9; j++)
            memcpy(&atlasPixels[4 * (size_t(area->y + j) * 32 + area->x)], &texels[4 * size_t(j) * 12], 48);
    }
    void TearDown() override {
        mvDrawClearColor(0, 0, 0);
        mvAtlasDestroy(atlas);
        frontEnd().install(previous);
        if (r) destroyRenderer(r);
    }
    std::vector<uint8_t> frame() const {
        frontOf(r).submit();  // sprites are held back until then
        const uint8_t *p = softRendererPixels(r);
        return std::vector<uint8_t>(p, p + size_t(W) * H * 4);
    }
};

TEST_F(Sprites, EveryPixelFollowsTheCoverageAndTexelRule) {
    struct Case {
        float x, y, w, h, angle;
    } cases[] = {
        {40, 30, 12, 9, 0},          // one pixel a texel
        {40.5f, 30, 13, 9, 0},       // edges on pixel centres: top-left rule
        {40, 30.5f, 24, 27, 0},      // scaled up 2 x 3
        {40, 30, 7, 5, 0},           // scaled down
        {40, 30, 36, 27, 0.3f},      // turned
        {47.25f, 33.7f, 30, 20, 1.0f},
        {50, 40, 25, 40, 2.5f},
        {45, 35, 24, 18, -0.7f},
        {45, 35, 24, 18, 1.5707964f},  // a quarter turn, as near as a float gets
        {3, 70, 40, 30, 0.9f},        // cut by the left and bottom borders
        {90, 2, 30, 30, -2.2f},       // cut by the right and top borders
        {48, 40, 300, 250, 0.4f},     // covers the whole frame
        {2.25f, 1.5f, 12, 9, 0},      // one pixel a texel, cut by the left and top borders
        {W - 3.5f, H - 2, 12, 9, 0},  // and by the right and bottom ones, a row ending at the frame's edge
    };
    mvDrawClearColor(0.2f, 0.45f, 0.7f);  // something for translucent texels to blend with
    for (const Case &c : cases) {
        mvDrawClear();
        std::vector<uint8_t> background = frame();
        mvDrawColor1f(1);
        mvAtlasDrawArea(atlas, area, c.x, c.y, c.w, c.h, c.angle);
        MVSprite s = {area->x, area->y, area->w, area->h, c.x, c.y, c.w, c.h, c.angle};
        std::vector<uint8_t> expected = modelSprite(s, atlasPixels, 32, background), got = frame();
        size_t wrong = 0, first = 0;
        for (size_t p = 0; p < got.size(); p += 4)
            if (memcmp(&got[p], &expected[p], 4) != 0 && wrong++ == 0) first = p / 4;
        EXPECT_EQ(wrong, 0u) << "sprite at " << c.x << ", " << c.y << " size " << c.w << " x " << c.h << " angle "
                             << c.angle << ": first wrong pixel " << first % W << ", " << first / W;
    }
}

// Centres on the edges: a rectangle from (2.5, 2.5) to (10.5, 6.5) covers
// columns 2 to 9 and rows 3 to 6, as two triangles would in OpenGL.
TEST_F(Sprites, CentresOnEdgesBelongToLeftAndBottomEdges) {
    std::vector<uint8_t> opaque(4 * 4, 255);
    MVImage image = {2, 2, opaque.data()};
    MVAtlasArea *white = mvAtlasAreaFromImage(atlas, &image, 0);
    ASSERT_NE(white, nullptr);
    mvDrawColor1f(1);
    mvAtlasDrawArea(atlas, white, 6.5f, 4.5f, 8, 4, 0);
    mvAtlasDrawArea(atlas, white, 46.5f, 34.5f, 8, 4, 3.14159274f);  // half a turn: the same pixels, moved
    std::vector<uint8_t> got = frame();
    for (int j = 0; j < H; j++)
        for (int i = 0; i < W; i++) {
            bool first = i >= 2 && i <= 9 && j >= 3 && j <= 6, second = i >= 42 && i <= 49 && j >= 33 && j <= 36;
            ASSERT_EQ(got[4 * (size_t(j) * W + i)], first || second ? 255 : 0) << i << ", " << j;
        }
}

// Tint and translucency blend as the atlas image itself does when drawn whole.
TEST_F(Sprites, TintAndTranslucencyBlendLikeTheAtlasImage) {
    MVAtlas *whole = mvAtlasCreate(8, 6, 32);
    ASSERT_NE(whole, nullptr);
    std::vector<uint8_t> texels(8 * 6 * 4);
    for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t(37 * i + 11);
    MVImage image = {8, 6, texels.data()};
    MVAtlasArea *all = mvAtlasAreaFromImage(whole, &image, 0);
    ASSERT_NE(all, nullptr);
    mvDrawColor4f(0.9f, 0.3f, 1, 0.6f);
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);  // something to blend onto
    const float corners[4][2] = {{0, 0}, {W, 0}, {W, H}, {0, H}};
    for (const auto &v : corners) mvDrawVertex2f(v[0], v[1]);
    mvDrawEnd();
    std::vector<uint8_t> background = frame();
    mvDrawColor4f(1, 0.5f, 0.25f, 0.75f);
    mvAtlasDrawDBG(whole, 20, 10, 0, MV_ATLAS_DRAW_IMAGE);
    std::vector<uint8_t> reference = frame();
    memcpy(const_cast<uint8_t *>(softRendererPixels(r)), background.data(), background.size());
    mvAtlasDrawArea(whole, all, 24, 13, 8, 6, 0);
    EXPECT_EQ(frame(), reference);
    EXPECT_NE(frame(), background);
    mvAtlasDestroy(whole);
}

TEST_F(Sprites, AreasFromImagesAndWhatIsRefused) {
    std::vector<uint8_t> big(40 * 4 * 4, 255);
    MVImage tooWide = {40, 4, big.data()};
    mvClearError();
    EXPECT_EQ(mvAtlasAreaFromImage(atlas, &tooWide, 0), nullptr);
    EXPECT_NE(std::string(mvGetError()).find("40 x 4"), std::string::npos) << mvGetError();
    EXPECT_EQ(mvAtlasAreaFromImage(atlas, nullptr, 0), nullptr);
    EXPECT_EQ(mvAtlasAreaFromImage(nullptr, &tooWide, 0), nullptr);
    MVImage noPixels = {2, 2, nullptr};
    EXPECT_EQ(mvAtlasAreaFromImage(atlas, &noPixels, 0), nullptr);
    // Nothing is drawn for degenerate sizes, foreign areas or a null atlas.
    MVAtlasArea outside = {30, 30, 4, 4};
    mvAtlasDrawArea(atlas, &outside, 40, 40, 20, 20, 0);
    mvAtlasDrawArea(atlas, area, 40, 40, 0, 20, 0);
    mvAtlasDrawArea(atlas, area, 40, 40, 20, -1, 0);
    mvAtlasDrawArea(atlas, area, NAN, 40, 20, 20, 0);
    mvAtlasDrawArea(atlas, area, 40, 40, 20, 20, INFINITY);
    mvAtlasDrawArea(atlas, area, 1e20f, 40, 20, 20, 0);
    mvAtlasDrawArea(nullptr, area, 40, 40, 20, 20, 0);
    mvAtlasDrawArea(atlas, nullptr, 40, 40, 20, 20, 0);
    std::vector<uint8_t> black = frame();
    for (size_t p = 0; p < black.size(); p += 4) ASSERT_EQ(black[p] + black[p + 1] + black[p + 2], 0) << p / 4;
}

}  // namespace
