// TrueType fonts through the "Font" module, drawn on the software renderer.
// They use DejaVu Sans where Debian's fonts-dejavu-core put it, and skip
// without it or without the module.
#include <gtest/gtest.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/font.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/render/frontend.h"
#include "core/render/renderer.h"
#include "core/render/soft_renderer.h"

namespace {

constexpr const char *kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int W = 200, H = 120;

bool contains(const char *text, const char *part) { return text && strstr(text, part); }

class Fonts : public ::testing::Test {
protected:
    MVRenderer *soft = nullptr, *previous = nullptr;
    MVFont *font = nullptr;
    void SetUp() override {
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
        std::ifstream probe(kDejaVu);
        if (!probe) GTEST_SKIP() << kDejaVu << " is not installed";
        font = mvFontLoad(kDejaVu, 20);
        if (!font && contains(mvGetError(), "module")) GTEST_SKIP() << mvGetError();
        ASSERT_NE(font, nullptr) << mvGetError();
        soft = softRendererCreate(W, H);
        previous = frontEnd().install(soft);
        mvDrawClear();
    }
    void TearDown() override {
        mvFontFree(font);
        if (soft) {
            frontEnd().install(previous);
            soft->destroy(soft->self);
        }
        mvDeinit();
        unsetenv("MORVEN_MODULE_PATH");
    }
    std::vector<uint8_t> frame() {
        std::vector<uint8_t> rgba(size_t(W) * H * 4);
        EXPECT_TRUE(frontEnd().readPixels(rgba.data(), W, H));
        return rgba;
    }
    // The smallest box holding every pixel drawn on; false when none is.
    bool inked(const std::vector<uint8_t> &f, int *left, int *top, int *right, int *bottom) {
        *left = W, *top = H, *right = -1, *bottom = -1;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)
                if (f[4 * (size_t(y) * W + x)]) {
                    *left = std::min(*left, x), *right = std::max(*right, x);
                    *top = std::min(*top, y), *bottom = std::max(*bottom, y);
                }
        return *right >= 0;
    }
};

// Measuring: lines stack by the line height; a kerned pair ("AV") is
// narrower than its letters apart; characters beyond ASCII and malformed
// bytes take room instead of ending the text.
TEST_F(Fonts, MeasureFollowsLinesKerningAndUtf8) {
    float w = 0, h = 0, wa = 0, wv = 0, wav = 0;
    float line = mvFontLineHeight(font);
    EXPECT_GT(line, 18.0f);
    EXPECT_LT(line, 30.0f);
    mvFontMeasure(font, "Hello", &w, &h);
    EXPECT_GT(w, 30.0f);
    EXPECT_EQ(h, line);
    mvFontMeasure(font, "Hi\nHello\n", nullptr, &h);
    EXPECT_EQ(h, 3 * line);
    mvFontMeasure(font, "A", &wa, nullptr);
    mvFontMeasure(font, "V", &wv, nullptr);
    mvFontMeasure(font, "AV", &wav, nullptr);
    EXPECT_LT(wav, wa + wv);  // DejaVu kerns A and V
    float plain = 0, accented = 0, broken = 0;
    mvFontMeasure(font, "e", &plain, nullptr);
    mvFontMeasure(font, "e\xC3\xA9\xE2\x82\xAC", &accented, nullptr);  // e, é, €
    EXPECT_GT(accented, 2.5f * plain);
    mvFontMeasure(font, "e\xC3" "e\xFF", &broken, nullptr);  // stray bytes draw as U+FFFD
    EXPECT_GT(broken, 2 * plain);
    mvFontMeasure(nullptr, "x", &w, &h);
    EXPECT_EQ(w, 0.0f);
    EXPECT_EQ(h, 0.0f);
}

// Drawing lands inside the measured block, at the given position, in the
// current colour; a second line goes a line height down.
TEST_F(Fonts, DrawnTextLiesInItsMeasuredBlock) {
    float w, h;
    const char *text = "Wave\nfly";
    mvFontMeasure(font, text, &w, &h);
    mvDrawColor3f(1, 0.5f, 0);
    mvFontDraw(font, 30, 20, text);
    std::vector<uint8_t> f = frame();
    int left, top, right, bottom;
    ASSERT_TRUE(inked(f, &left, &top, &right, &bottom));
    EXPECT_GE(left, 30);
    EXPECT_LE(left, 33);
    EXPECT_GE(top, 20);
    EXPECT_LE(right, 30 + int(w) + 1);
    EXPECT_GT(bottom, 20 + int(mvFontLineHeight(font)));  // the second line is there
    EXPECT_LE(bottom, 20 + int(h));
    // Fully covered pixels take the colour as it is.
    bool solid = false;
    for (size_t i = 0; i < f.size(); i += 4) solid |= f[i] == 255 && f[i + 1] == 128 && f[i + 2] == 0;
    EXPECT_TRUE(solid);
    // The same text again draws the same pixels (glyphs come from the cache).
    mvDrawClear();
    mvFontDraw(font, 30, 20, text);
    EXPECT_EQ(frame(), f);
}

// Many distinct glyphs at a large size overflow the 1024 x 1024 atlas;
// drawing then still gives every glyph (it drops the cache and goes on).
TEST_F(Fonts, AFullGlyphAtlasIsRefilled) {
    MVFont *big = mvFontLoad(kDejaVu, 200);
    ASSERT_NE(big, nullptr) << mvGetError();
    std::string all;
    for (char c = 'A'; c <= 'Z'; c++) all += c;
    for (char c = 'a'; c <= 'z'; c++) all += c;
    mvFontDraw(big, 0, 0, all.c_str());  // more than fit at once
    mvDrawClear();
    mvFontDraw(big, 0, -100, "z");  // the last glyph, stored only after a refill
    int left, top, right, bottom;
    EXPECT_TRUE(inked(frame(), &left, &top, &right, &bottom));
    mvFontFree(big);
}

// A font file is read whole up to 64 MiB, and one byte more tells a larger
// one: a file of exactly the limit reaches the module (and is no font), one
// byte more is refused for its size.
TEST_F(Fonts, FilesAreReadUpToTheSizeLimit) {
    const off_t limit = off_t(64) << 20;
    std::string path = "/tmp/morven-font-limit-" + std::to_string(getpid());
    for (off_t size : {limit, limit + 1}) {
        FILE *f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(ftruncate(fileno(f), size), 0);  // sparse: zeros, no disk
        fclose(f);
        EXPECT_EQ(mvFontLoad(path.c_str(), 12), nullptr);
        EXPECT_EQ(contains(mvGetError(), "larger than 64 MiB"), size > limit) << size << ": " << mvGetError();
    }
    unlink(path.c_str());
}

// Bad input gives null with a reason, never a font of made-up glyphs.
TEST_F(Fonts, BadFontsGiveNullWithAReason) {
    EXPECT_EQ(mvFontLoad("/nonexistent/font.ttf", 12), nullptr);
    EXPECT_TRUE(contains(mvGetError(), "/nonexistent/font.ttf")) << mvGetError();
    EXPECT_EQ(mvFontLoad(nullptr, 12), nullptr);
    EXPECT_EQ(mvFontLoad(kDejaVu, 0), nullptr);
    EXPECT_TRUE(contains(mvGetError(), "size")) << mvGetError();
    EXPECT_EQ(mvFontLoad(kDejaVu, 5000), nullptr);
    const char junk[] = "this is not a font, only some text that is long enough";
    EXPECT_EQ(mvFontLoadMemory(junk, sizeof junk, 12), nullptr);
    EXPECT_TRUE(contains(mvGetError(), "not a font")) << mvGetError();
    // A real font cut short.
    std::ifstream in(kDejaVu, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 4096u);
    MVFont *cut = mvFontLoadMemory(bytes.data(), 2048, 12);
    if (cut) {  // FreeType may open the tables it finds; drawing must then stay safe
        mvFontDraw(cut, 0, 0, "Abc");
        mvFontFree(cut);
    } else {
        EXPECT_TRUE(contains(mvGetError(), "from memory")) << mvGetError();
    }
    MVFont *copy = mvFontLoadMemory(bytes.data(), bytes.size(), 12);
    ASSERT_NE(copy, nullptr) << mvGetError();
    bytes.assign(bytes.size(), 0);  // the font keeps its own copy
    mvFontDraw(copy, 0, 0, "still here");
    int left, top, right, bottom;
    EXPECT_TRUE(inked(frame(), &left, &top, &right, &bottom));
    mvFontFree(copy);
    mvDrawClear();
    mvFontDraw(nullptr, 0, 0, "x");
    mvFontDraw(font, NAN, 0, "x");
    mvFontDraw(font, 0, 0, nullptr);
    EXPECT_FALSE(inked(frame(), &left, &top, &right, &bottom));
}

}  // namespace
