// The drawing features on OpenGL and on the software renderer: the same
// pixels, byte for byte. These run under Xvfb (test drawing_window) and
// skip where there is no display.
#include <gtest/gtest.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/font.h>
#include <morven/trail.h>
#include <morven/window.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/engine/engine_state.h"
#include "core/render/frontend.h"
#include "core/render/renderer.h"
#include "core/render/soft_renderer.h"

namespace {

constexpr int W = 160, H = 120;

bool haveDisplay() {
    const char *display = getenv("DISPLAY");
    return display && *display;
}

// The frame of the renderer the front end draws with.
std::vector<uint8_t> readBack() {
    std::vector<uint8_t> rgba(size_t(W) * H * 4);
    EXPECT_TRUE(frontEnd().readPixels(rgba.data(), W, H));
    return rgba;
}

class DrawingWindow : public ::testing::Test {
protected:
    MVRenderer *gl = nullptr;
    void SetUp() override {
        if (!haveDisplay()) GTEST_SKIP() << "no display";
        unsetenv("MORVEN_MAX_FRAMES");
        unsetenv("MORVEN_SCREENSHOT");
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
        ASSERT_TRUE(mvLoadModule("SDL"));
        ASSERT_TRUE(mvLoadModule("OpenGL"));
        ASSERT_TRUE(mvInit(0));
        ASSERT_TRUE(mvWindowOpen(W, H, 32, 0));
        ASSERT_TRUE(engineState().gl);
        gl = frontEnd().renderer();
    }
    void TearDown() override {
        mvDrawResetTransform();
        mvDrawLineWidth(1);
        mvDeinit();
        unsetenv("MORVEN_MODULE_PATH");
    }
    // The scene drawn by OpenGL and by the software renderer; counts the
    // pixels whose colour differs and reports the first few. *drawn gets
    // the pixels unlike the bottom-right one, which the scenes leave alone.
    size_t compare(const std::function<void()> &scene, size_t *drawn) {
        mvDrawResetTransform();
        mvDrawClear();
        scene();
        std::vector<uint8_t> hardware = readBack();
        MVRenderer *soft = softRendererCreate(W, H);
        frontEnd().install(soft);
        mvDrawResetTransform();
        mvDrawClear();
        scene();
        std::vector<uint8_t> software = readBack();
        frontEnd().install(gl);
        soft->destroy(soft->self);
        size_t differ = 0, shown = getenv("MORVEN_SHOW_DIFFERENCES") ? 100000 : 5;
        *drawn = 0;
        const uint8_t *background = &software[software.size() - 4];
        for (size_t i = 0; i < software.size(); i += 4) {
            *drawn += memcmp(&software[i], background, 3) != 0;
            if (memcmp(&hardware[i], &software[i], 3) == 0) continue;
            if (differ++ < shown)
                ADD_FAILURE() << "pixel (" << (i / 4) % W << ", " << (i / 4) / W << "): OpenGL " << int(hardware[i])
                              << " " << int(hardware[i + 1]) << " " << int(hardware[i + 2]) << ", software "
                              << int(software[i]) << " " << int(software[i + 1]) << " " << int(software[i + 2]);
        }
        return differ;
    }
};

// An image of distinct opaque texels, so that a wrong texel shows.
MVAtlasArea *bricks(MVAtlas *atlas, int w, int h) {
    std::vector<uint8_t> texels(size_t(w) * h * 4);
    for (int i = 0; i < w * h; i++) {
        texels[4 * i] = uint8_t(i * 7);
        texels[4 * i + 1] = uint8_t(i * 13 + 5);
        texels[4 * i + 2] = uint8_t((i / w) * 29 + (i % w) * 3);
        texels[4 * i + 3] = 255;
    }
    MVImage image = {w, h, texels.data()};
    return mvAtlasAreaFromImage(atlas, &image, 1);
}

// Upright sprites scaled by random whole sizes, at whole and half-pixel
// centres, mirrored or not: where a pixel centre maps exactly onto a texel
// boundary both renderers take the texel after it. Without the shared rule,
// 48 x 16 bricks at 56 x 18 differed in over a thousand pixels.
TEST_F(DrawingWindow, ScaledUprightSpritesAreIdenticalAtRandomScales) {
    MVAtlas *atlas = mvAtlasCreate(128, 128, 32);
    MVAtlasArea *brick = bricks(atlas, 48, 16), *tile = bricks(atlas, 16, 16);
    ASSERT_TRUE(brick && tile);
    size_t drawn = 0;
    EXPECT_EQ(compare(
                  [&] {
                      for (int row = 0; row < 6; row++)
                          for (int col = 0; col < 3; col++)
                              mvAtlasDrawArea(atlas, brick, 28 + 56 * col, 9 + 18 * row, 56, 18, 0);
                  },
                  &drawn),
              0u);
    EXPECT_GT(drawn, 15000u);
    EXPECT_EQ(compare([&] { mvAtlasDrawArea(atlas, tile, 10, 10, 20, 20, 0); }, &drawn), 0u);
    std::mt19937 random(1919);
    for (int round = 0; round < 12; round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        EXPECT_EQ(compare(
                      [&] {
                          std::mt19937 r(round);
                          for (int k = 0; k < 8; k++) {
                              const MVAtlasArea *area = k % 2 ? brick : tile;
                              float w = float(4 + r() % 100), h = float(4 + r() % 60);
                              if (r() % 4 == 0) w = -w;
                              if (r() % 4 == 0) h = -h;
                              float x = float(r() % 160) + 0.5f * float(r() % 2);
                              float y = float(r() % 120) + 0.5f * float(r() % 2);
                              mvAtlasDrawArea(atlas, area, x, y, w, h, 0);
                          }
                      },
                      &drawn),
                  0u);
    }
    mvAtlasDestroy(atlas);
}

// Every feature in one scene: shapes of every kind, wide lines, a camera
// transform, flipped and transformed sprites, TrueType text, blend modes and
// an atlas area drawn into.
TEST_F(DrawingWindow, ASceneOfEveryFeatureIsIdentical) {
    MVAtlas *atlas = mvAtlasCreate(64, 64, 32), *other = mvAtlasCreate(16, 16, 32);
    MVAtlasArea *tile = bricks(atlas, 8, 6), *tile2 = bricks(other, 8, 6);
    MVAtlasArea *map = mvAtlasAreaReserve(atlas, 20, 13, 1);
    ASSERT_TRUE(tile && tile2 && map);
    MVFont *font = nullptr;
    if (std::ifstream("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"))
        font = mvFontLoad("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 16);
    size_t drawn = 0;
    EXPECT_EQ(compare(
                  [&] {
                      mvDrawClearColor(0.0f, 0.0f, 0.2f);
                      mvDrawClear();
                      mvDrawColor3f(1, 0, 0);
                      mvDrawRect(4, 4, 30, 20);
                      mvDrawColor4f(0, 1, 0, 0.5f);
                      mvDrawRectLines(10, 10, 40, 30);
                      mvDrawLineWidth(3);
                      mvDrawRectLines(60, 4, 30, 24);
                      mvDrawColor4f(1, 1, 0, 0.75f);
                      mvDrawCircle(120, 30, 22);
                      mvDrawColor3f(0, 1, 1);
                      mvDrawCircleLines(40, 80, 25);
                      mvDrawLineWidth(4);
                      mvDrawBegin(MV_DRAW_LINE_STRIP);
                      mvDrawVertex2f(70, 60);
                      mvDrawVertex2f(150, 60);
                      mvDrawVertex2f(150, 110);
                      mvDrawEnd();
                      mvDrawLineWidth(1);
                      mvDrawColor1f(1);
                      // A camera: zoomed twice and moved.
                      mvDrawPushTransform();
                      mvDrawTranslate2f(100, 80);
                      mvDrawScale2f(2, 2);
                      mvAtlasDrawArea(atlas, tile, 0, 0, 8, 6, 0);
                      mvAtlasDrawArea(atlas, tile, 12, 0, -8, 6, 0);
                      mvAtlasDrawArea(atlas, tile, 0, 10, 8, -6, 0);
                      mvDrawRect(-10, -10, 4, 4);
                      mvDrawPopTransform();
                      mvDrawScale2f(-1, 1);  // the world mirrored about x = 0, moved back on screen
                      mvDrawTranslate2f(-150, 0);
                      mvAtlasDrawArea(atlas, tile, 10, 100, 16, 12, 0);
                      mvDrawResetTransform();
                      if (font) {
                          mvDrawColor3f(1, 0.8f, 0.2f);
                          mvFontDraw(font, 4, 96, "AVé Wave\nfly");
                      }
                      // Every blend mode with partial alpha, and an area
                      // drawn into (text included) and drawn back scaled.
                      const int modes[] = {MV_BLEND_ADD, MV_BLEND_MULTIPLY, MV_BLEND_NONE, MV_BLEND_ALPHA};
                      for (int m = 0; m < 4; m++) {
                          mvDrawBlend(modes[m]);
                          mvDrawColor4f(0.9f, 0.4f + 0.1f * m, 0.7f, 0.3f + 0.2f * m);
                          mvDrawCircle(100 + 14 * m, 100, 9);
                      }
                      ASSERT_TRUE(mvAtlasBeginDraw(atlas, map));
                      mvDrawClearColor(0.3f, 0.1f, 0.4f);
                      mvDrawClear();
                      mvDrawColor4f(0.2f, 1, 0.5f, 0.6f);
                      mvDrawCircle(10, 8, 7);
                      mvDrawColor1f(1);
                      mvAtlasDrawArea(other, tile2, 14, 8, 8, 6, 0.4f);
                      if (font) mvFontDraw(font, 1, 2, "Ag");
                      ASSERT_TRUE(mvAtlasEndDraw());
                      mvDrawColor4f(1, 1, 1, 0.9f);
                      mvAtlasDrawArea(atlas, map, 130, 100, 40, -26, 0);
                  },
                  &drawn),
              0u);
    EXPECT_GT(drawn, 4000u);
    mvAtlasDestroy(other);
    mvFontFree(font);
    mvAtlasDestroy(atlas);
}

// Translucent shapes and sprites in every blend mode over a background of
// colour steps, then the modes' own edge cases: alpha 0, 128 and 255,
// additions that saturate, multiplying by white and black.
void blendScene(MVAtlas *atlas, const MVAtlasArea *tile, const MVAtlasArea *glass) {
    mvDrawClearColor(0.1f, 0.3f, 0.5f);
    mvDrawClear();
    for (int i = 0; i < 16; i++) {  // background steps
        mvDrawColor4f(i / 15.0f, 1 - i / 15.0f, (i % 4) / 3.0f, 1);
        mvDrawRect(10.0f * i, 0, 10, H);
    }
    const int modes[] = {MV_BLEND_ALPHA, MV_BLEND_ADD, MV_BLEND_MULTIPLY, MV_BLEND_NONE};
    for (int m = 0; m < 4; m++) {
        ASSERT_TRUE(mvDrawBlend(modes[m]));
        float y = 4.0f + 29 * m;
        const float alphas[] = {0, 0.25f, 128 / 255.0f, 0.8f, 1};
        for (int k = 0; k < 5; k++) {
            mvDrawColor4f(0.9f, 0.6f - 0.1f * k, 0.3f * k / 4, alphas[k]);
            mvDrawRect(4.0f + 31 * k, y, 24, 8);
        }
        mvDrawColor4f(1, 1, 1, 1);  // saturating or neutral
        mvDrawRect(4, y + 9, 150, 2);
        mvDrawColor4f(0, 0, 0, 0.5f);
        mvDrawRect(4, y + 11, 150, 2);
        mvDrawColor4f(0.2f, 0.9f, 0.4f, 0.6f);
        mvDrawCircle(60, y + 20, 7);
        mvDrawLineWidth(3);
        mvDrawBegin(MV_DRAW_LINE_STRIP);
        mvDrawVertex2f(80, y + 14);
        mvDrawColor4f(1, 0, 1, 0.3f);
        mvDrawVertex2f(100, y + 24);
        mvDrawVertex2f(120, y + 14);
        mvDrawEnd();
        mvDrawLineWidth(1);
        mvDrawBegin(MV_DRAW_LINES);
        mvDrawVertex2f(4, y + 26);
        mvDrawVertex2f(40, y + 26);
        mvDrawEnd();
        mvDrawColor1f(1);
        mvAtlasDrawArea(atlas, tile, 20, y + 20, 16, 12, 0);  // untinted
        mvAtlasDrawArea(atlas, glass, 140, y + 20, -16, 12, 0);  // translucent texels, mirrored
        mvDrawColor4f(1, 0.5f, 0.25f, 0.7f);
        mvAtlasDrawArea(atlas, glass, 38, y + 20, 16, 12, 0.3f);  // tinted and turned
        mvDrawText(126, y + 14, 8, "Ab");
    }
    mvDrawBlend(MV_BLEND_ALPHA);
}

// Texels of every alpha, so that each mode meets partial alpha in sprites.
MVAtlasArea *glassTexels(MVAtlas *atlas) {
    std::vector<uint8_t> texels(16 * 12 * 4);
    for (int i = 0; i < 16 * 12; i++) {
        texels[4 * i] = uint8_t(i * 11);
        texels[4 * i + 1] = uint8_t(255 - i * 3);
        texels[4 * i + 2] = uint8_t(i * 5 + 40);
        texels[4 * i + 3] = uint8_t(i % 16 == 0 ? 0 : i % 16 == 1 ? 255 : i * 17 + 3);
    }
    MVImage image = {16, 12, texels.data()};
    return mvAtlasAreaFromImage(atlas, &image, 1);
}

TEST_F(DrawingWindow, EveryBlendModeIsIdentical) {
    MVAtlas *atlas = mvAtlasCreate(64, 64, 32);
    MVAtlasArea *tile = bricks(atlas, 8, 6), *glass = glassTexels(atlas);
    ASSERT_TRUE(tile && glass);
    size_t drawn = 0;
    EXPECT_EQ(compare([&] { blendScene(atlas, tile, glass); }, &drawn), 0u);
    EXPECT_GT(drawn, 15000u);
    mvAtlasDestroy(atlas);
}

// A minimap: a scene drawn into an atlas area in every blend mode, then the
// area drawn back scaled, turned and mirrored over the frame.
TEST_F(DrawingWindow, DrawingIntoAnAtlasAreaIsIdentical) {
    MVAtlas *atlas = mvAtlasCreate(128, 96, 32);
    MVAtlasArea *tile = bricks(atlas, 8, 6), *glass = glassTexels(atlas);
    MVAtlasArea *map = mvAtlasAreaReserve(atlas, 70, 50, 1);
    ASSERT_TRUE(tile && glass && map);
    size_t drawn = 0;
    EXPECT_EQ(compare(
                  [&] {
                      mvDrawClearColor(0.2f, 0.1f, 0.1f);
                      mvDrawClear();
                      mvDrawColor4f(0.3f, 0.7f, 0.2f, 1);
                      mvDrawRect(0, 60, W, 60);
                      mvDrawTranslate2f(5, 5);  // the area is drawn without it
                      ASSERT_TRUE(mvAtlasBeginDraw(atlas, map));
                      mvDrawClearColor(0.0f, 0.2f, 0.4f);
                      mvDrawClear();
                      mvDrawColor4f(1, 1, 0, 0.5f);
                      mvDrawRect(-10, -10, 30, 25);  // clipped at the area's corner
                      mvDrawBlend(MV_BLEND_ADD);
                      mvDrawColor4f(1, 0.3f, 0.1f, 0.6f);
                      mvDrawCircle(40, 25, 18);
                      mvDrawBlend(MV_BLEND_MULTIPLY);
                      mvDrawColor3f(0.5f, 1, 0.75f);
                      mvDrawRect(30, 0, 60, 20);  // past the right edge
                      mvDrawBlend(MV_BLEND_NONE);
                      mvDrawColor4f(0, 0, 0, 0);  // a transparent hole
                      mvDrawRect(2, 40, 8, 8);
                      mvDrawBlend(MV_BLEND_ALPHA);
                      mvDrawColor1f(1);
                      mvAtlasDrawArea(atlas, tile, 55, 40, -16, 12, 0);
                      mvDrawColor4f(1, 1, 1, 0.8f);
                      mvAtlasDrawArea(atlas, glass, 20, 30, 16, 12, 0.5f);
                      mvDrawLineWidth(2);
                      mvDrawRectLines(0, 0, 70, 50);
                      mvDrawLineWidth(1);
                      ASSERT_TRUE(mvAtlasEndDraw());
                      mvDrawColor1f(1);
                      mvAtlasDrawArea(atlas, map, 40, 40, 70, 50, 0);
                      mvAtlasDrawArea(atlas, map, 120, 85, -35, 25, 0);
                      mvAtlasDrawArea(atlas, map, 110, 30, 90, 40, 0.4f);
                  },
                  &drawn),
              0u);
    EXPECT_GT(drawn, 8000u);
    mvAtlasDestroy(atlas);
}

// The trail's alpha rises along its strip; each segment is drawn in one
// colour (draw.h), which OpenGL and the software renderer give alike.
TEST_F(DrawingWindow, TrailsAreIdentical) {
    size_t drawn = 0;
    EXPECT_EQ(compare(
                  [&] {
                      mvDrawClearColor(0.3f, 0.2f, 0.1f);
                      mvDrawClear();
                      MVTrail *trail = mvTrailCreate(0);
                      for (int i = 0; i < 90; i++) {
                          if (i == 40) mvTrailAddBreak(trail);
                          double t = i * 0.21;
                          mvTrailAddPoint2f(trail, float(80 + 70 * std::sin(t) * (0.3 + i / 130.0)),
                                            float(60 + 50 * std::cos(1.3 * t) * (0.3 + i / 130.0)));
                      }
                      mvTrailDraw(trail);
                      mvDrawTranslate2f(3.25f, 1.5f);
                      mvTrailDrawColor3f(trail, 0.2f, 0.9f, 0.6f);
                      mvTrailDestroy(trail);
                  },
                  &drawn),
              0u);
    EXPECT_GT(drawn, 300u);
}

}  // namespace
