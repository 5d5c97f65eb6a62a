#include <gtest/gtest.h>
#include <morven/draw.h>

#include <morven/atlas.h>
#include <morven/error.h>
#include <morven/trail.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <vector>

#include "alloc_fail.h"
#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"

namespace {

// A software renderer installed as the engine's for the drawing calls.
class SoftRenderer : public ::testing::Test {
protected:
    static constexpr int W = 32, H = 24;
    MVRenderer *r = nullptr;
    MVRenderer *previous = nullptr;

    void SetUp() override {
        r = softRendererCreate(W, H);
        ASSERT_NE(r, nullptr);
        previous = frontEnd().install(r);
    }
    void TearDown() override {
        frontEnd().install(previous);
        if (r) destroyRenderer(r);
    }
    const uint8_t *px(int x, int y) const {
        frontOf(r).submit();
        return softRendererPixels(r) + 4 * (size_t(y) * W + x);
    }
    std::vector<uint8_t> frame() const { return std::vector<uint8_t>(px(0, 0), px(0, 0) + size_t(W) * H * 4); }
    // The pixels lit in white, as (x, y) pairs in row order.
    std::vector<std::pair<int, int>> white() const {
        std::vector<std::pair<int, int>> lit;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                if (px(x, y)[0] == 255 && px(x, y)[1] == 255) lit.push_back({x, y});
        return lit;
    }
    int count(int channel, int value) const {
        int n = 0;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) n += px(x, y)[channel] == value;
        return n;
    }
};

TEST_F(SoftRenderer, StartsAndClearsOpaqueBlack) {
    EXPECT_EQ(count(3, 255), W * H);
    EXPECT_EQ(count(0, 0), W * H);
    mvDrawColor1f(1);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(3.5f, 4.9f);  // moved by (3/8, 5/16): pixel (3, 5)
    mvDrawVertex2f(-1, 2);       // off screen
    mvDrawVertex2f(NAN, 2);   // ignored
    mvDrawVertex2f(1e30f, 1e30f);
    mvDrawEnd();
    EXPECT_EQ(px(3, 5)[0], 255);
    EXPECT_EQ(count(0, 255), 1);
    mvDrawClear();
    EXPECT_EQ(count(0, 0), W * H);
}

TEST_F(SoftRenderer, LinesCoverCentresWithoutTheirLastPixel) {
    mvDrawColor3f(1, 0, 0);
    mvDrawBegin(MV_DRAW_LINES);
    mvDrawVertex2f(1, 2);
    mvDrawVertex2f(6, 2);  // pixels 1..5 of row 2
    mvDrawVertex2f(10, 9);
    mvDrawVertex2f(10, 5);        // upwards: rows 9..6 of column 10
    mvDrawVertex2f(20, 20);       // an unpaired vertex draws nothing
    mvDrawEnd();
    for (int x = 1; x <= 5; x++) EXPECT_EQ(px(x, 2)[0], 255) << x;
    EXPECT_EQ(px(6, 2)[0], 0);
    for (int y = 6; y <= 9; y++) EXPECT_EQ(px(10, y)[0], 255) << y;
    EXPECT_EQ(px(10, 5)[0], 0);
    EXPECT_EQ(count(0, 255), 9);
}

TEST_F(SoftRenderer, DiagonalLineHasOnePixelPerColumn) {
    mvDrawColor1f(1);
    mvDrawBegin(MV_DRAW_LINES);
    mvDrawVertex2f(0, 0);
    mvDrawVertex2f(20, 10);
    mvDrawEnd();
    for (int x = 0; x < 20; x++) {
        int hits = 0;
        for (int y = 0; y < H; y++) hits += px(x, y)[0] == 255;
        EXPECT_EQ(hits, 1) << x;
        EXPECT_EQ(px(x, x / 2)[0], 255) << x;  // y = (x + 0.5) / 2 at the column's centre
    }
    EXPECT_EQ(count(0, 255), 20);
}

TEST_F(SoftRenderer, StripsAndLoopsBlendEachPixelOnce) {
    mvDrawColor2f(1, 0.5f);
    mvDrawBegin(MV_DRAW_LINE_LOOP);
    mvDrawVertex2f(2, 2);
    mvDrawVertex2f(8, 2);
    mvDrawVertex2f(8, 8);
    mvDrawVertex2f(2, 8);
    mvDrawEnd();
    // The outline of the 7 x 7 square: 24 pixels, each half white exactly once.
    EXPECT_EQ(count(0, 128), 24);
    EXPECT_EQ(count(0, 0), W * H - 24);
    EXPECT_EQ(px(2, 2)[0], 128);  // the corner where the loop closes
    EXPECT_EQ(px(8, 8)[0], 128);
    EXPECT_EQ(px(5, 5)[0], 0);
}

TEST_F(SoftRenderer, TrianglesTileWithoutGapsOrOverlap) {
    mvDrawColor4f(0, 0, 1, 0.5f);
    mvDrawBegin(MV_DRAW_TRIANGLES);  // a 7.3 x 5.6 quad cut along its diagonal
    mvDrawVertex2f(1.2f, 1.7f);
    mvDrawVertex2f(8.5f, 1.7f);
    mvDrawVertex2f(8.5f, 7.3f);
    mvDrawVertex2f(1.2f, 1.7f);
    mvDrawVertex2f(8.5f, 7.3f);
    mvDrawVertex2f(1.2f, 7.3f);
    mvDrawEnd();
    // Centres inside: columns 1..7 (1.5 .. 7.5), rows 2..6 (2.5 .. 6.5).
    EXPECT_EQ(count(2, 128), 35);
    EXPECT_EQ(count(2, 0), W * H - 35);
    // The same square as a strip and as a fan, elsewhere.
    mvDrawBegin(MV_DRAW_TRIANGLE_STRIP);
    mvDrawVertex2f(10, 10);
    mvDrawVertex2f(20, 10);
    mvDrawVertex2f(10, 20);
    mvDrawVertex2f(20, 20);
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);
    mvDrawVertex2f(26, 15);  // centre, then around
    mvDrawVertex2f(21, 10);
    mvDrawVertex2f(31, 10);
    mvDrawVertex2f(31, 20);
    mvDrawVertex2f(21, 20);
    mvDrawVertex2f(21, 10);
    mvDrawEnd();
    EXPECT_EQ(count(2, 128), 35 + 100 + 100);
}

// The covering rule of draw.h, pixel by pixel: a centre strictly inside,
// or on a left edge (going up the screen, y down) or a bottom edge
// (horizontal, the triangle above it) of the counter-clockwise triangle.
bool coversCentre(double ax, double ay, double bx, double by, double cx, double cy, double px, double py) {
    auto side = [](double ux, double uy, double vx, double vy, double x, double y) {
        return (vx - ux) * (y - uy) - (vy - uy) * (x - ux);
    };
    double area = side(ax, ay, bx, by, cx, cy);
    if (area == 0) return false;
    if (area < 0) {
        std::swap(bx, cx);
        std::swap(by, cy);
    }
    const double u[3][4] = {{bx, by, cx, cy}, {cx, cy, ax, ay}, {ax, ay, bx, by}};
    for (const auto &e : u) {
        double w = side(e[0], e[1], e[2], e[3], px, py);
        bool owned = e[3] < e[1] || (e[3] == e[1] && e[2] < e[0]);
        if (!(w > 0 || (w == 0 && owned))) return false;
    }
    return true;
}

// Random triangles, many with corners on pixel centres and edges through
// them, some reaching far off the frame: the rows the rasteriser finds must
// be exactly the centres the rule covers, each blended once.
TEST_F(SoftRenderer, TrianglesCoverExactlyTheCentresOfTheRule) {
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    auto coordinate = [&](int span) -> float {
        switch (next() % 8) {
        case 0: return float(int(next() % 2) ? 1e7 : -1e7) + float(next() % 64);
        case 1: return float(int(next() % (span + 8)) - 4) + 0.5f;  // a pixel centre
        default: return float(int(next() % ((span + 8) * 4)) - 16) / 4.0f;
        }
    };
    for (int round = 0; round < 400; round++) {
        mvDrawClear();
        float v[6];
        for (int i = 0; i < 6; i += 2) {
            v[i] = coordinate(W);
            v[i + 1] = coordinate(H);
        }
        mvDrawColor4f(1, 1, 1, 0.5f);
        mvDrawBegin(MV_DRAW_TRIANGLES);
        for (int i = 0; i < 6; i += 2) mvDrawVertex2f(v[i], v[i + 1]);
        mvDrawEnd();
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                bool covered = coversCentre(v[0], v[1], v[2], v[3], v[4], v[5], x + 0.5, y + 0.5);
                ASSERT_EQ(px(x, y)[0], covered ? 128 : 0)
                    << "round " << round << " pixel " << x << "," << y << " triangle " << v[0] << "," << v[1] << " "
                    << v[2] << "," << v[3] << " " << v[4] << "," << v[5];
            }
    }
}

// A strip long enough to need its arrays grown, drawn while each allocation
// in turn is refused: the shape comes out whole, or not at all with a
// reason; a vertex left out would put every later triangle together wrongly.
TEST(SoftRendererMemory, AShapeIsDrawnWholeOrNotAtAllWhenMemoryRunsOut) {
    MVRenderer *r = softRendererCreate(32, 24);
    ASSERT_NE(r, nullptr);
    auto frameOf = [&] { return std::vector<uint8_t>(softRendererPixels(r), softRendererPixels(r) + 32 * 24 * 4); };
    auto strip = [](FrontEnd &f) {
        f.color(1, 1, 1, 0.5f);
        f.begin(MV_DRAW_TRIANGLE_STRIP);
        for (int i = 0; i < 120; i++) f.vertex(float(i % 31) + 0.25f * float(i % 3), float(i % 2 ? 20 : 3));
        f.end();
        f.submit();
    };
    std::vector<uint8_t> whole, empty = frameOf();
    {
        FrontEnd f(r);
        strip(f);
        whole = frameOf();
    }
    ASSERT_NE(whole, empty);
    int refused = 0;
    long k = 0;
    for (;; k++) {
        {
            FrontEnd clean(r);  // the frame cleared to black
            clean.clearColor(0, 0, 0);
            clean.clear();
            clean.submit();
        }
        FrontEnd f(r);  // empty lists: the strip's vertices need memory
        mvClearError();
        allocfail::failAt(k);
        strip(f);
        long made = allocfail::disarm();
        std::vector<uint8_t> got = frameOf();
        EXPECT_TRUE(got == whole || got == empty) << "allocation " << k;
        if (got != whole) {
            refused++;
            EXPECT_NE(strstr(mvGetError(), "not drawn"), nullptr) << "allocation " << k << ": " << mvGetError();
        }
        if (made <= k) break;
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(k, 2);
    r->destroy(r->self);
}

TEST_F(SoftRenderer, ColoursInterpolateAcrossVertices) {
    mvDrawBegin(MV_DRAW_LINES);
    mvDrawColor3f(1, 0, 0);
    mvDrawVertex2f(0, 3);
    mvDrawColor3f(0, 0, 1);
    mvDrawVertex2f(30, 3);
    mvDrawEnd();
    // Sampled at the pixel centres, from the start moved by 3/8.
    EXPECT_EQ(px(0, 3)[0], 254);
    EXPECT_EQ(px(0, 3)[2], 1);
    EXPECT_EQ(px(15, 3)[0], 126);
    EXPECT_EQ(px(15, 3)[2], 129);
    for (int x = 1; x < 30; x++) {
        EXPECT_LT(px(x, 3)[0], px(x - 1, 3)[0]);
        EXPECT_GT(px(x, 3)[2], px(x - 1, 3)[2]);
    }
    mvDrawBegin(MV_DRAW_TRIANGLES);  // grey rising from left to right
    mvDrawColor1f(0);
    mvDrawVertex2f(0, 10);
    mvDrawColor1f(1);
    mvDrawVertex2f(32, 10);
    mvDrawVertex2f(32, 24);
    mvDrawEnd();
    EXPECT_LT(px(10, 11)[1], px(20, 11)[1]);
    EXPECT_LT(px(20, 11)[1], px(30, 11)[1]);
}

// A trail's line strip: alpha rising from 0 at its oldest point to 1 at its
// newest, drawn over black, shows as brightness rising along the line.
TEST_F(SoftRenderer, TrailAlphaRamp) {
    const int points = 6;
    mvDrawBegin(MV_DRAW_LINE_STRIP);
    for (int i = 0; i < points; i++) {
        mvDrawColor4f(1, 1, 1, float(i) / (points - 1));
        mvDrawVertex2f(2.0f + 5.0f * i, 12.0f);
    }
    mvDrawEnd();
    EXPECT_LE(px(2, 12)[0], 1);  // the oldest point is transparent
    for (int x = 3; x < 27; x++) EXPECT_GT(px(x, 12)[0], px(x - 1, 12)[0]) << x;
    EXPECT_GE(px(26, 12)[0], 240);  // nearly opaque at the newest end
    EXPECT_EQ(px(27, 12)[0], 0);    // the last vertex's own pixel is not drawn
    EXPECT_EQ(px(12, 11)[0], 0);
    // At column 15 alpha is (15.5 - 2.375) / 25 = 0.525.
    EXPECT_EQ(px(15, 12)[0], 134);
}

TEST_F(SoftRenderer, TexturesAreSampledAndTinted) {
    uint32_t tex = frontOf(r).textureCreate(2, 2);
    ASSERT_NE(tex, 0u);
    const uint8_t texels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 0};
    frontOf(r).textureUpdate(tex, 0, 0, 2, 2, texels);
    mvDrawColor1f(1);
    drawWhole(frontOf(r), tex, 2, 2, 4, 4, 4, 4);  // each texel covers 2 x 2 pixels
    EXPECT_EQ(px(4, 4)[0], 255);
    EXPECT_EQ(px(5, 5)[0], 255);
    EXPECT_EQ(px(6, 4)[1], 255);
    EXPECT_EQ(px(7, 5)[1], 255);
    EXPECT_EQ(px(4, 6)[2], 255);
    EXPECT_EQ(px(7, 7)[0], 0);  // transparent texel: background stays
    EXPECT_EQ(px(8, 4)[1], 0);
    mvDrawColor4f(1, 0.5f, 1, 0.5f);  // tint and translucency
    drawWhole(frontOf(r), tex, 2, 2, 10, 10, 2, 2);
    EXPECT_EQ(px(11, 10)[1], 64);
    EXPECT_EQ(px(10, 10)[0], 128);
    // Out-of-range updates are ignored; destroyed ids draw nothing and are reused.
    frontOf(r).textureUpdate(tex, 1, 1, 2, 2, texels);
    frontOf(r).textureDestroy(tex);
    drawWhole(frontOf(r), tex, 2, 2, 20, 10, 2, 2);
    EXPECT_EQ(px(20, 10)[0], 0);
    EXPECT_EQ(frontOf(r).textureCreate(1, 1), tex);
    EXPECT_EQ(frontOf(r).textureCreate(0, 1), 0u);
}

TEST_F(SoftRenderer, BlendsSourceOver) {
    mvDrawColor3f(0, 0, 1);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(1, 1);
    mvDrawEnd();
    mvDrawColor4f(1, 0, 0, 0.25f);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(1, 1);
    mvDrawEnd();
    EXPECT_EQ(px(1, 1)[0], 64);
    EXPECT_EQ(px(1, 1)[2], 191);
}

TEST_F(SoftRenderer, ReadsBackItsFrame) {
    mvDrawColor1f(1);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(31, 23);
    mvDrawEnd();
    std::vector<uint8_t> copy(size_t(W) * H * 4);
    ASSERT_TRUE(frontOf(r).readPixels(copy.data(), W, H));
    EXPECT_EQ(copy[copy.size() - 4], 255);
    EXPECT_FALSE(frontOf(r).readPixels(copy.data(), W - 1, H));
    EXPECT_EQ(softRendererCreate(0, 5), nullptr);
}

// The worked examples of draw.h.
TEST_F(SoftRenderer, PixelRulesForPointsLinesAndEdges) {
    using Pixels = std::vector<std::pair<int, int>>;
    auto lineOf = [](float x0, float y0, float x1, float y1) {
        mvDrawBegin(MV_DRAW_LINES);
        mvDrawVertex2f(x0, y0);
        mvDrawVertex2f(x1, y1);
        mvDrawEnd();
    };
    mvDrawColor1f(1);
    lineOf(10, 0, 10, 20);
    Pixels column;
    for (int y = 0; y < 20; y++) column.push_back({10, y});
    EXPECT_EQ(white(), column);
    mvDrawClear();
    lineOf(0, 7, 6, 7);
    lineOf(6, 9, 0, 9);
    lineOf(1.5f, 2.5f, 6.5f, 2.5f);
    lineOf(6.5f, 4.5f, 1.5f, 4.5f);
    EXPECT_EQ(white(), (Pixels{{2, 2}, {3, 2}, {4, 2}, {5, 2}, {6, 2}, {2, 4}, {3, 4}, {4, 4}, {5, 4}, {6, 4},
                               {0, 7}, {1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}, {1, 9}, {2, 9}, {3, 9}, {4, 9},
                               {5, 9}, {6, 9}}));
    mvDrawClear();
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(10, 5);
    mvDrawVertex2f(10.5f, 5.5f);
    mvDrawVertex2f(3.6f, 8.6f);  // 3.975, 8.9125
    mvDrawVertex2f(3.7f, 8.7f);  // 4.075, 9.0125
    mvDrawEnd();
    EXPECT_EQ(white(), (Pixels{{10, 5}, {3, 8}, {4, 9}}));
    // Centres on the quad's edges: left and bottom ones are inside.
    mvDrawClear();
    mvDrawBegin(MV_DRAW_TRIANGLE_FAN);
    mvDrawVertex2f(2.5f, 2.5f);
    mvDrawVertex2f(10.5f, 2.5f);
    mvDrawVertex2f(10.5f, 6.5f);
    mvDrawVertex2f(2.5f, 6.5f);
    mvDrawEnd();
    Pixels quad;
    for (int y = 3; y <= 6; y++)
        for (int x = 2; x <= 9; x++) quad.push_back({x, y});
    EXPECT_EQ(white(), quad);
}

TEST_F(SoftRenderer, ColoursOutOfRangeAreClamped) {
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawColor4f(NAN, 2, -1, INFINITY);
    mvDrawVertex2f(1, 1);
    mvDrawColor4f(0.5f, -INFINITY, 7, NAN);  // transparent: nothing
    mvDrawVertex2f(2, 1);
    mvDrawEnd();
    EXPECT_EQ(std::vector<int>(px(1, 1), px(1, 1) + 4), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(std::vector<int>(px(2, 1), px(2, 1) + 4), (std::vector<int>{0, 0, 0, 255}));
}

// Open primitives end at the next begin and at read-back; stray vertices
// and unknown modes draw nothing.
TEST_F(SoftRenderer, UnclosedAndNestedPrimitivesAreEndedAndDrawn) {
    mvDrawColor1f(1);
    mvDrawBegin(MV_DRAW_LINES);
    mvDrawVertex2f(0, 0);
    mvDrawVertex2f(3, 0);
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(5, 5);
    mvDrawEnd();
    mvDrawVertex2f(7, 7);  // outside a primitive
    mvDrawEnd();
    mvDrawBegin(42);
    mvDrawVertex2f(8, 8);
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_POINTS);
    mvDrawVertex2f(9, 9);
    std::vector<uint8_t> copy(size_t(W) * H * 4);
    ASSERT_TRUE(frontOf(r).readPixels(copy.data(), W, H));
    EXPECT_EQ(copy, frame());
    using Pixels = std::vector<std::pair<int, int>>;
    EXPECT_EQ(white(), (Pixels{{0, 0}, {1, 0}, {2, 0}, {5, 5}, {9, 9}}));
    mvDrawVertex2f(10, 10);  // the point primitive ended with the read
    mvDrawEnd();
    EXPECT_EQ(white().size(), 5u);
}

// Far off screen nothing is examined, however far; huge primitives crossing
// the frame cost only the pixels they cover on it.
TEST_F(SoftRenderer, DrawingCostIsBoundedByTheFrame) {
    const std::vector<uint8_t> black = frame();
    mvDrawColor1f(1);
    mvDrawBegin(MV_DRAW_LINES);
    const float far[][4] = {{3e9f, 0, 3e9f, 20},        {0, 3e9f, 20, 3e9f},         {-3e9f, -5, 3e9f, -5},
                            {-FLT_MAX, 3, -1e30f, 40},  {FLT_MAX, FLT_MAX, 1e38f, 0}, {5, -1e38f, 20, -FLT_MAX},
                            {NAN, 3, 10, 3},            {INFINITY, 3, 10, 4},        {3e9f, 1, -3e9f, 2e9f}};
    for (const auto &l : far) {
        mvDrawVertex2f(l[0], l[1]);
        mvDrawVertex2f(l[2], l[3]);
    }
    mvDrawEnd();
    mvDrawBegin(MV_DRAW_TRIANGLES);
    const float farTriangles[][6] = {{3e9f, -1e9f, 3.1e9f, 1e9f, 3e9f, 1e9f},  // full height, far right
                                     {0, 3e9f, 1e9f, 3e9f + 512, 0, 3e9f + 1024},
                                     {-FLT_MAX, -FLT_MAX, FLT_MAX, -FLT_MAX, 0, -1e30f},
                                     {1, 1, NAN, 5, 9, 9}};
    for (const auto &t : farTriangles)
        for (int i = 0; i < 6; i += 2) mvDrawVertex2f(t[i], t[i + 1]);
    mvDrawEnd();
    MVTrail *trail = mvTrailCreate(8);
    for (float x : {3e9f, 3.5e9f, 4e9f}) mvTrailAddPoint2f(trail, x, 10);
    mvTrailDraw(trail);
    mvTrailDestroy(trail);
    MVAtlas *atlas = mvAtlasCreate(16, 16, 32);
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, 8, 8, 0);
    ASSERT_NE(area, nullptr);
    const std::vector<uint8_t> opaque(8 * 8 * 4, 255);
    ASSERT_TRUE(mvAtlasAreaSetData(atlas, area, 8, 8, 32, opaque.data()));
    for (float at : {3e9f, -3e9f, 1e30f, -FLT_MAX})
        for (int what : {MV_ATLAS_DRAW_IMAGE, MV_ATLAS_DRAW_FRAMES}) mvAtlasDrawDBG(atlas, at, at, 0, what);
    mvAtlasDestroy(atlas);
    EXPECT_EQ(frame(), black);
    EXPECT_EQ(softRendererWork(r), 0u);

    mvDrawBegin(MV_DRAW_LINES);
    mvDrawVertex2f(-1e30f, 5);
    mvDrawVertex2f(1e30f, 5);
    mvDrawVertex2f(7, FLT_MAX);
    mvDrawVertex2f(7, -FLT_MAX);
    mvDrawEnd();
    EXPECT_EQ(count(0, 255), W + H - 1);
    EXPECT_LE(softRendererWork(r), uint64_t(W + H) + 4);
    mvDrawClear();
    uint64_t before = softRendererWork(r);
    mvDrawBegin(MV_DRAW_TRIANGLES);
    mvDrawVertex2f(-FLT_MAX, -FLT_MAX);
    mvDrawVertex2f(FLT_MAX, -FLT_MAX);
    mvDrawVertex2f(0, FLT_MAX);
    mvDrawEnd();
    EXPECT_EQ(count(0, 255), W * H);
    EXPECT_EQ(softRendererWork(r) - before, uint64_t(W) * H);
}

}  // namespace
