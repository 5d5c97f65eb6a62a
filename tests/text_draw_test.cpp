// mvDrawText on the software renderer, checked pixel by pixel against the
// font's glyph data: a pixel is lit exactly when its centre lies in a lit
// font pixel. Where a centre lies on a vertical edge, the pixel belongs to
// the font pixel on the right. The placements here put no centre on a
// horizontal edge: which side gets those is the renderer's triangle rule,
// checked with the renderers.
#include <gtest/gtest.h>
#include <morven/draw.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "core/render/font.h"
#include "core/render/frame_size.h"
#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"
#include "recording_renderer.h"

namespace {

constexpr int W = 240, H = 140;
constexpr int kBox = -1;

// Every printable character, 16 to a line, then a line with a control
// character, a two-byte character and a stray continuation byte (boxes).
struct Sample {
    std::string text;
    std::vector<std::vector<int>> lines;  // character codes, kBox for a box
    Sample() {
        lines.emplace_back();
        for (int c = 32; c <= 126; c++) {
            if (lines.back().size() == 16) {
                text += '\n';
                lines.emplace_back();
            }
            text += char(c);
            lines.back().push_back(c);
        }
        text += "\nA\x01" "B\xC3\xA9" "C\x80" "D";
        lines.push_back({'A', kBox, 'B', kBox, 'C', kBox, 'D'});
    }
};

// Whether the pixel whose centre is (cx, cy) is lit, from the glyph data.
bool litInModel(const Sample &sample, double x, double y, double scale, double cx, double cy) {
    double u = std::floor((cx - x) / scale), v = std::floor((cy - y) / scale);
    if (u < 0 || v < 0) return false;
    long gx = long(u), gy = long(v);
    size_t line = size_t(gy / kFontCellHeight), cell = size_t(gx / kFontCellWidth);
    int row = int(gy % kFontCellHeight), column = int(gx % kFontCellWidth);
    if (line >= sample.lines.size() || cell >= sample.lines[line].size() || column >= kFontGlyphWidth) return false;
    return fontGlyph(sample.lines[line][cell])[row] >> (kFontGlyphWidth - 1 - column) & 1;
}

class TextOnSoftware : public ::testing::Test {
protected:
    MVRenderer *soft = softRendererCreate(W, H);
    MVRenderer *previous = frontEnd().install(soft);
    void TearDown() override {
        frontEnd().install(previous);
        destroyRenderer(soft);
    }
    std::vector<uint8_t> frame() {
        std::vector<uint8_t> rgba(size_t(W) * H * 4);
        EXPECT_TRUE(frontOf(soft).readPixels(rgba.data(), W, H));
        return rgba;
    }
};

TEST_F(TextOnSoftware, PixelsMatchTheGlyphsAtEverySizeAndOffset) {
    const Sample sample;
    // Whole pixels; vertical font edges on pixel centres; font pixels
    // smaller than screen pixels; a scale of 1.5; partly off the frame.
    const struct {
        float x, y, size;
    } cases[] = {{0, 0, 8}, {3, 5, 8}, {3.5f, 2.25f, 16}, {0.5f, 0.25f, 4}, {1.25f, 0.75f, 12}, {-7, -3, 16}};
    for (const auto &c : cases) {
        SCOPED_TRACE("at (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ") size " + std::to_string(c.size));
        mvDrawClear();
        mvDrawColor4f(1.0f, 0.5f, 0.25f, 0.5f);  // half alpha: a pixel drawn twice would show
        mvDrawText(c.x, c.y, c.size, sample.text.c_str());
        std::vector<uint8_t> rgba = frame();
        const double scale = double(c.size) / kFontCellHeight;
        float width = 0, height = 0;
        mvDrawTextMeasure(c.size, sample.text.c_str(), &width, &height);
        EXPECT_EQ(width, float(16 * kFontCellWidth * scale));  // 16 characters on the longest lines
        EXPECT_EQ(height, float(sample.lines.size() * kFontCellHeight * scale));
        size_t lit = 0, wrong = 0;
        for (int py = 0; py < H; py++) {
            for (int px = 0; px < W; px++) {
                const uint8_t *p = &rgba[4 * (size_t(py) * W + px)];
                bool expected = litInModel(sample, c.x, c.y, scale, px + 0.5, py + 0.5);
                lit += expected;
                bool inBlock = px + 0.5 >= c.x && px + 0.5 < c.x + width && py + 0.5 >= c.y && py + 0.5 < c.y + height;
                EXPECT_TRUE(inBlock || !expected) << "lit outside the measured block: " << px << ", " << py;
                bool ok = expected ? p[0] == 128 && p[1] == 64 && p[2] == 32 : p[0] == 0 && p[1] == 0 && p[2] == 0;
                if (!ok && wrong++ < 5)
                    ADD_FAILURE() << "pixel (" << px << ", " << py << ") should be " << (expected ? "lit" : "dark")
                                  << ", is " << int(p[0]) << " " << int(p[1]) << " " << int(p[2]);
            }
        }
        EXPECT_EQ(wrong, 0u);
        EXPECT_GT(lit, 300u);
    }
}

TEST(Text, RunsOfPixelsBecomeOneRectangleEachAndMeasuresCountCells) {
    RecordingRenderer recorder;
    mvDrawText(10, 20, 16, "-");  // one row of five pixels: one rectangle
    std::vector<DrawCall> expected = {beginCall(MV_DRAW_TRIANGLES),
                                      vertexCall(10, 26), vertexCall(20, 26), vertexCall(10, 28),
                                      vertexCall(20, 26), vertexCall(20, 28), vertexCall(10, 28),
                                      endCall()};
    EXPECT_EQ(recorder.calls(), pieces(expected));
    recorder.calls().clear();
    mvDrawText(0, 0, 8, nullptr);
    mvDrawText(0, 0, 0, "x");
    mvDrawText(0, 0, NAN, "x");
    mvDrawText(INFINITY, 0, 8, "x");
    EXPECT_TRUE(recorder.calls().empty());
    float w = -1, h = -1;
    mvDrawTextMeasure(16, "ab\nc\xC3\xA9\x01\n", &w, &h);  // one box for the two-byte character
    EXPECT_EQ(w * 1000 + h, 36 * 1000 + 48);
    mvDrawTextMeasure(0, "ab", &w, &h);
    EXPECT_EQ(w * 1000 + h, 0);
    mvDrawTextMeasure(8, nullptr, &w, nullptr);
    EXPECT_EQ(w, 0);
}

TEST(Text, GlyphsAreDistinctAndStayInTheirCell) {
    std::set<std::vector<uint8_t>> seen;
    for (int c = 32; c <= 126; c++) {
        const uint8_t *g = fontGlyph(c);
        std::vector<uint8_t> rows(g, g + kFontCellHeight);
        EXPECT_TRUE(seen.insert(rows).second) << "glyph of '" << char(c) << "' repeats another";
        for (uint8_t row : rows) EXPECT_EQ(row >> kFontGlyphWidth, 0) << "'" << char(c) << "'";
        EXPECT_EQ(c == ' ', rows == std::vector<uint8_t>(kFontCellHeight, 0)) << "'" << char(c) << "'";
    }
    EXPECT_EQ(seen.count(std::vector<uint8_t>(fontGlyph(0), fontGlyph(0) + kFontCellHeight)), 0u);  // the box
}

}  // namespace

namespace {

// A megabyte of text with lines of 79 characters (or one line).
std::string megabyte(bool oneLine) {
    std::string text;
    for (size_t i = 0; text.size() < (1u << 20); i++)
        text += (!oneLine && i % 80 == 79) ? '\n' : char('!' + i % 94);
    return text;
}

size_t vertices(const std::vector<DrawCall> &calls) {
    size_t n = 0;
    for (const DrawCall &c : calls) n += c.kind == DrawCall::Vertex;
    return n;
}

// The frame size the text is culled against, for one test.
struct FrameSize {
    FrameSize(int w, int h) { drawSetFrameSize(w, h); }
    ~FrameSize() { drawSetFrameSize(0, 0); }
};

}  // namespace

// Drawing every glyph of off-frame text held about 1.65 KB of vertices a
// character: a megabyte of it took gigabytes.
TEST(Text, OffFrameTextMakesNoVerticesAndVisibleTextOnlyItsOwn) {
    RecordingRenderer recorder;
    FrameSize frame(W, H);
    const std::string lines = megabyte(false), line = megabyte(true);
    const struct {
        float x, y;
    } off[] = {{0, H}, {0, -1.0e7f}, {-1.0e7f, -1.0e7f}, {W, 0}, {-1.0e7f, 0}, {-1.0e7f, H - 0.01f}};
    for (const auto &c : off) {
        for (const std::string *text : {&lines, &line}) {
            recorder.calls().clear();
            mvDrawText(c.x, c.y, 8, text->c_str());
            EXPECT_EQ(vertices(recorder.calls()), 0u) << "at (" << c.x << ", " << c.y << ")";
        }
    }
    // One long line crossing the frame: only the glyphs on it make vertices.
    // A glyph makes at most 8 rows x 3 runs of rectangles, 6 vertices each.
    const size_t perGlyph = 8 * 3 * 6, across = W / 6 + 2;
    recorder.calls().clear();
    mvDrawText(-6.0f * 500000, 0, 8, line.c_str());
    EXPECT_GT(vertices(recorder.calls()), 0u);
    EXPECT_LE(vertices(recorder.calls()), across * perGlyph);
    // Many lines, the frame showing a few of them.
    recorder.calls().clear();
    mvDrawText(0, -8.0f * 1000, 8, lines.c_str());
    EXPECT_GT(vertices(recorder.calls()), 0u);
    EXPECT_LE(vertices(recorder.calls()), (H / 8 + 2) * across * perGlyph);
}

// Leaving glyphs out must not change a pixel: text across every edge of the
// frame, at whole and fractional places, drawn with and without the frame
// size known.
TEST_F(TextOnSoftware, CullingKeepsEveryPixel) {
    const Sample sample;
    const struct {
        float x, y, size;
    } cases[] = {{-7, -3, 16}, {-95.5f, -60.25f, 12}, {W - 40.5f, H - 20.75f, 8}, {-0.49f, H - 8.5f, 4},
                 {W - 0.51f, 3, 8}, {-5.0f * 16 * 6 / 8 + 0.5f, -16 * 5 + 0.5f, 16}};
    for (const auto &c : cases) {
        SCOPED_TRACE("at (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ") size " + std::to_string(c.size));
        std::vector<uint8_t> culled, whole;
        for (bool cull : {true, false}) {
            drawSetFrameSize(cull ? W : 0, cull ? H : 0);
            mvDrawClear();
            mvDrawColor4f(1.0f, 0.5f, 0.25f, 0.5f);
            mvDrawText(c.x, c.y, c.size, sample.text.c_str());
            (cull ? culled : whole) = frame();
        }
        drawSetFrameSize(0, 0);
        EXPECT_TRUE(culled == whole);
        EXPECT_NE(std::count(whole.begin(), whole.end(), 128), 0) << "some text must be on the frame";
    }
}
