// Tinted sprites through a tint table must give the very bytes of the
// per-texel float path they stand in for, on every road a sprite takes:
// drawn at its own size, scaled, turned, cut by the frame.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/render/soft_sprites.h"

namespace {

constexpr int W = 96, H = 64, TW = 40, TH = 30;

// White texels of every alpha (as glyphs are), clear texels with stray
// colour, and texels of any colour and alpha, in patches.
std::vector<uint8_t> texels(unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> rgba(size_t(TW) * TH * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        int kind = int((i / 4 / 7 + i / 4 / TW / 3) % 4);
        for (int c = 0; c < 4; c++) rgba[i + c] = uint8_t(random());
        if (kind == 0) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
        if (kind == 1) rgba[i + 3] = 0;
        if (kind == 2) rgba[i + 3] = 255;
    }
    return rgba;
}

std::vector<uint8_t> drawn(const std::vector<uint8_t> &image, const MVSprite &s, const float color[4],
                           const uint8_t *table, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> frame(size_t(W) * H * 4);
    for (uint8_t &b : frame) b = uint8_t(random());
    std::vector<int> columns(W);
    SoftSprite sp;
    if (softSpritePrepare(s, TW, TH, color, W, H, &sp)) {
        sp.tint = table;
        SoftBand band = {frame.data(), W, H, 0, H - 1, columns.data(), MV_BLEND_MODE_ALPHA};
        softSpriteDraw(band, {image.data(), TW, TH}, sp);
    }
    return frame;
}

TEST(TintTable, GivesTheBytesOfTheFloatPath) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0, 1);
    const float fixed[][4] = {{1, 0.9f, 0.6f, 1}, {0.2f, 0.4f, 0.8f, 0.5f}, {0, 0, 0, 1}, {1, 1, 1, 0.999f},
                              {0.5f, 0.5f, 0.5f, 0.0f}, {1, 0, 1, 0.5019608f}};
    int differing = 0, cases = 0;
    for (int round = 0; round < 120; round++) {
        float color[4];
        if (round < 6)
            memcpy(color, fixed[round], sizeof color);
        else
            for (float &c : color) c = round % 3 ? unit(random) : 1.0f;
        uint8_t table[kTintTableBytes];
        softTintTable(color, table);
        std::vector<uint8_t> image = texels(unsigned(round));
        MVSprite s;
        s.sx = int(random() % 8);
        s.sy = int(random() % 8);
        s.sw = TW - s.sx - int(random() % 8);
        s.sh = TH - s.sy - int(random() % 8);
        s.x = float(int(random() % (W + 20)) - 10);
        s.y = float(int(random() % (H + 20)) - 10);
        int road = round % 4;  // own size, scaled, turned, fractional place
        float scale = road == 1 ? 0.4f + 2.5f * unit(random) : 1;
        s.w = s.sw * scale;
        s.h = s.sh * scale;
        s.angle = road == 2 ? -3 + 6 * unit(random) : 0;
        if (road == 3) s.x += unit(random), s.y += unit(random);
        std::vector<uint8_t> floats = drawn(image, s, color, nullptr, unsigned(round));
        std::vector<uint8_t> tabled = drawn(image, s, color, table, unsigned(round));
        cases++;
        if (floats != tabled) {
            differing++;
            ADD_FAILURE() << "round " << round << " road " << road << " colour " << color[0] << " " << color[1]
                          << " " << color[2] << " " << color[3];
        }
    }
    EXPECT_EQ(differing, 0) << "of " << cases;
}

TEST(TintTable, SaysWhenAlphaBytesAreKept) {
    uint8_t table[kTintTableBytes];
    const float opaque[4] = {0.3f, 0.6f, 0.9f, 1};
    softTintTable(opaque, table);
    EXPECT_EQ(table[kTintAlphaKept], 1);
    const float translucent[4] = {0.3f, 0.6f, 0.9f, 0.99f};
    softTintTable(translucent, table);
    EXPECT_EQ(table[kTintAlphaKept], 0);
    EXPECT_EQ(table[768 + 255], 252);
}

}  // namespace
