// Drawing into atlas areas on the software renderer: where the pixels go,
// what they become in the atlas, and every misuse refused with a reason.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/error.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/render/soft_renderer.h"
#include "front_of.h"

namespace {

class AtlasDraw : public ::testing::Test {
protected:
    static constexpr int W = 32, H = 32;
    MVRenderer *r = nullptr, *previous = nullptr;
    MVAtlas *atlas = nullptr;
    MVAtlasArea *area = nullptr, *other = nullptr;

    void SetUp() override {
        r = softRendererCreate(W, H);
        ASSERT_NE(r, nullptr);
        previous = frontEnd().install(r);
        atlas = mvAtlasCreate(16, 16, 32);
        area = mvAtlasAreaReserve(atlas, 6, 4, 0);
        other = mvAtlasAreaReserve(atlas, 4, 4, 0);
        ASSERT_TRUE(area && other);
        // The neighbour holds opaque blue, which drawing into area must leave.
        std::vector<uint8_t> blue(4 * 4 * 4, 0);
        for (size_t i = 0; i < blue.size(); i += 4) blue[i + 2] = blue[i + 3] = 255;
        ASSERT_TRUE(mvAtlasAreaSetData(atlas, other, 4, 4, 32, blue.data()));
    }
    void TearDown() override {
        mvAtlasEndDraw();
        mvAtlasDestroy(atlas);
        mvDrawResetTransform();
        mvDrawBlend(MV_BLEND_ALPHA);
        mvDrawClearColor(0, 0, 0);
        mvDrawColor1f(1);
        frontEnd().install(previous);
        destroyRenderer(r);
    }
    // The frame's pixel, "r g b a".
    std::string at(int x, int y) {
        frontEnd().submit();
        const uint8_t *p = softRendererPixels(r) + 4 * (size_t(y) * W + x);
        return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + " " +
               std::to_string(p[3]);
    }
    // The atlas' image as it stands, pixel for pixel on the frame at (0, 0).
    void showAtlas() {
        mvDrawBlend(MV_BLEND_NONE);
        mvDrawColor1f(1);
        mvAtlasDrawDBG(atlas, 0, 0, 0, MV_ATLAS_DRAW_IMAGE);
        mvDrawBlend(MV_BLEND_ALPHA);
    }
    std::string atlasAt(const MVAtlasArea *a, int x, int y) { return at(a->x + x, a->y + y); }
};

TEST_F(AtlasDraw, DrawingLandsInTheAreaClippedAndRelativeToItsCorner) {
    mvDrawTranslate2f(100, 100);  // not applied inside the area
    ASSERT_TRUE(mvAtlasBeginDraw(atlas, area));
    float sx = 0, sy = 0;
    ASSERT_TRUE(mvDrawToScreen2f(1, 1, &sx, &sy));
    EXPECT_EQ(sx * 1000 + sy, 1001.0f);
    mvDrawClearColor(0, 1, 0);
    mvDrawClear();  // the area alone
    mvDrawColor3f(1, 0, 0);
    mvDrawRect(4, -5, 20, 7);  // columns 4 and 5, rows 0 and 1, the rest cut off
    ASSERT_TRUE(mvAtlasEndDraw());
    ASSERT_TRUE(mvDrawToScreen2f(1, 1, &sx, &sy));
    EXPECT_EQ(sx * 1000 + sy, 101101.0f);  // the transform is back
    mvDrawResetTransform();
    showAtlas();
    EXPECT_EQ(atlasAt(area, 0, 0), "0 255 0 255");
    EXPECT_EQ(atlasAt(area, 3, 1), "0 255 0 255");
    EXPECT_EQ(atlasAt(area, 4, 0), "255 0 0 255");
    EXPECT_EQ(atlasAt(area, 5, 1), "255 0 0 255");
    EXPECT_EQ(atlasAt(area, 5, 2), "0 255 0 255");
    EXPECT_EQ(atlasAt(other, 0, 0), "0 0 255 255");  // the neighbour
    EXPECT_EQ(atlasAt(other, 3, 3), "0 0 255 255");
    // Drawing goes to the frame again.
    mvDrawColor3f(1, 1, 0);
    mvDrawRect(30, 30, 1, 1);
    EXPECT_EQ(at(30, 30), "255 255 0 255");
}

// The area keeps its alpha: a hole cut with MV_BLEND_NONE shows what lies
// under the area when it is drawn as a sprite, and blending starts from
// what the area held.
TEST_F(AtlasDraw, TheAreaKeepsItsPixelsAndAlpha) {
    std::vector<uint8_t> grey(6 * 4 * 4, 100);
    ASSERT_TRUE(mvAtlasAreaSetData(atlas, area, 6, 4, 32, grey.data()));  // alpha 100
    ASSERT_TRUE(mvAtlasBeginDraw(atlas, area));
    mvDrawBlend(MV_BLEND_NONE);
    mvDrawColor4f(0, 0, 0, 0);
    mvDrawRect(0, 0, 1, 1);
    mvDrawBlend(MV_BLEND_ADD);
    mvDrawColor4f(50 / 255.0f, 0, 0, 1);
    mvDrawRect(1, 0, 1, 1);
    ASSERT_TRUE(mvAtlasEndDraw());
    showAtlas();
    EXPECT_EQ(atlasAt(area, 0, 0), "0 0 0 0");
    EXPECT_EQ(atlasAt(area, 1, 0), "150 100 100 255");
    EXPECT_EQ(atlasAt(area, 2, 0), "100 100 100 100");
    // Drawn back over red: the hole shows red.
    mvDrawClearColor(1, 0, 0);
    mvDrawClear();
    mvAtlasDrawArea(atlas, area, 10, 10, 6, 4, 0);
    EXPECT_EQ(at(7, 8), "255 0 0 255");
}

// What was drawn is the atlas' own: releasing the area clears it, and a new
// renderer gets it.
TEST_F(AtlasDraw, DrawnPixelsBelongToTheAtlasImage) {
    ASSERT_TRUE(mvAtlasBeginDraw(atlas, area));
    mvDrawClearColor(1, 1, 1);
    mvDrawClear();
    ASSERT_TRUE(mvAtlasEndDraw());
    MVRenderer *fresh = softRendererCreate(W, H);
    ASSERT_NE(fresh, nullptr);
    frontEnd().install(fresh);
    showAtlas();
    frontEnd().submit();
    const uint8_t *p = softRendererPixels(fresh) + 4 * (size_t(area->y + 3) * W + area->x + 5);
    EXPECT_EQ(p[0] + p[1] + p[2] + p[3], 4 * 255);
    frontEnd().install(r);
    destroyRenderer(fresh);

    MVAtlasArea copy = *area;
    mvAtlasAreaRelease(atlas, area);
    area = mvAtlasAreaReserve(atlas, copy.w, copy.h, 0);
    ASSERT_TRUE(area && area->x == copy.x && area->y == copy.y);
    mvDrawClearColor(0, 0, 0);
    mvDrawClear();
    showAtlas();
    EXPECT_EQ(atlasAt(area, 5, 3), "0 0 0 0");
}

TEST_F(AtlasDraw, MisuseIsRefusedWithAReason) {
    auto said = [](const char *what) { return std::strstr(mvGetError(), what) != nullptr; };
    EXPECT_FALSE(mvAtlasEndDraw());
    EXPECT_TRUE(said("no area is being drawn into")) << mvGetError();
    EXPECT_FALSE(mvAtlasBeginDraw(nullptr, area));
    EXPECT_FALSE(mvAtlasBeginDraw(atlas, nullptr));
    MVAtlasArea made = {0, 0, 2, 2};
    EXPECT_FALSE(mvAtlasBeginDraw(atlas, &made));
    EXPECT_TRUE(said("not one of this atlas")) << mvGetError();

    ASSERT_TRUE(mvAtlasBeginDraw(atlas, area));
    EXPECT_FALSE(mvAtlasBeginDraw(atlas, other));  // no nesting
    EXPECT_TRUE(said("already")) << mvGetError();
    mvDrawColor1f(1);
    mvAtlasDrawArea(atlas, other, 3, 2, 4, 4, 0);  // from the atlas being drawn into
    EXPECT_TRUE(said("being drawn into")) << mvGetError();
    mvAtlasDrawDBG(atlas, 0, 0, 0, MV_ATLAS_DRAW_IMAGE);
    ASSERT_TRUE(mvAtlasEndDraw());
    showAtlas();
    EXPECT_EQ(atlasAt(area, 3, 2), "0 0 0 0");  // neither drew into the area
    EXPECT_FALSE(mvAtlasEndDraw());
}

// Destroying the atlas or releasing the area ends the drawing and drops
// it; nothing is left to end, and drawing goes to the frame again.
TEST_F(AtlasDraw, DestroyingOrReleasingWhileDrawingEndsIt) {
    ASSERT_TRUE(mvAtlasBeginDraw(atlas, area));
    mvAtlasAreaRelease(atlas, area);
    area = nullptr;
    EXPECT_FALSE(mvAtlasEndDraw());
    ASSERT_TRUE(mvAtlasBeginDraw(atlas, other));
    mvDrawTranslate2f(5, 5);
    mvAtlasDestroy(atlas);
    atlas = nullptr;
    EXPECT_FALSE(mvAtlasEndDraw());
    float sx = 0, sy = 0;
    ASSERT_TRUE(mvDrawToScreen2f(0, 0, &sx, &sy));
    EXPECT_EQ(sx + sy, 0.0f);  // the transform of before the drawing
    mvDrawColor3f(0, 1, 0);
    mvDrawRect(20, 20, 1, 1);
    EXPECT_EQ(at(20, 20), "0 255 0 255");
}

TEST(AtlasDrawWithoutWindow, IsRefused) {
    MVRenderer *previous = frontEnd().install(nullptr);
    MVAtlas *atlas = mvAtlasCreate(8, 8, 32);
    MVAtlasArea *area = mvAtlasAreaReserve(atlas, 2, 2, 0);
    ASSERT_NE(area, nullptr);
    EXPECT_FALSE(mvAtlasBeginDraw(atlas, area));
    EXPECT_NE(std::strstr(mvGetError(), "no window"), nullptr) << mvGetError();
    EXPECT_FALSE(mvAtlasEndDraw());
    mvAtlasDestroy(atlas);
    frontEnd().install(previous);
}

}  // namespace
