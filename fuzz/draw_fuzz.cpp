// Random streams of drawing calls with extreme coordinates and colours
// (huge, infinite, NaN, denormal, raw bit patterns), drawn by the software
// renderer: the pictures the OpenGL module's are compared with. Each frame's
// work must stay within what its primitives can cover on the frame, so no
// coordinate can make a frame slow; the sanitizers catch any float that
// reaches an integer out of range.
#include <morven/draw.h>
#include <morven/trail.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

constexpr int W = 40, H = 30;
// The most one segment, triangle or sprite may examine.
constexpr uint64_t kLineWork = W + H + 2, kAreaWork = uint64_t(W) * H;

struct Fuzz {
    MVRenderer *renderer = softRendererCreate(W, H);
    uint32_t texture = 0;

    Fuzz() {
        FUZZ_CHECK(renderer);
        frontEnd().install(renderer);
        texture = frontOf(renderer).textureCreate(3, 2);
        const uint8_t texels[24] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0,
                                    9, 9, 9, 255, 200, 100, 50, 255, 255, 255, 255, 64};
        frontOf(renderer).textureUpdate(texture, 0, 0, 3, 2, texels);
    }
};

bool allBlack(const uint8_t *rgba) {
    for (size_t i = 0; i < size_t(W) * H; i++)
        if (rgba[4 * i] || rgba[4 * i + 1] || rgba[4 * i + 2] || rgba[4 * i + 3] != 255) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Fuzz fuzz;
    MVRenderer *r = fuzz.renderer;
    mvDrawEnd();
    mvDrawBlend(MV_BLEND_ALPHA);
    mvDrawClear();
    mvDrawColor1f(1);
    // What the previous input left recorded runs now, outside this input's account.
    frontEnd().submit();
    FuzzInput in{data, size, float(W), float(H)};
    // The fuzzer's own account of the pixel rules: which primitive is open,
    // and the most work the calls since the last frame may have caused.
    int open = -1;
    uint64_t budget = 0, start = softRendererWork(r);
    std::vector<uint8_t> frame(size_t(W) * H * 4);
    while (in.size) {
        switch (in.byte() % 9) {
        case 0: {
            int mode = int(in.byte() % 9) - 1;
            open = mode >= MV_DRAW_POINTS && mode <= MV_DRAW_TRIANGLE_FAN ? mode : -1;
            if (open == MV_DRAW_LINE_LOOP) budget += kLineWork;  // the closing segment
            mvDrawBegin(mode);
            break;
        }
        case 1:
        case 2: {
            float x = in.value(), y = in.value();
            // Each vertex adds at most one point, segment or triangle.
            if (open == MV_DRAW_POINTS) budget += 1;
            else if (open >= MV_DRAW_LINES && open <= MV_DRAW_LINE_STRIP) budget += kLineWork;
            else if (open >= MV_DRAW_TRIANGLES) budget += kAreaWork;
            mvDrawVertex2f(x, y);
            break;
        }
        case 3: {
            float c[4];
            for (float &v : c) v = in.value();
            mvDrawColor4f(c[0], c[1], c[2], c[3]);
            break;
        }
        case 4:  // ends the primitive, then a blend mode (4: refused, the mode stays)
            mvDrawEnd();
            open = -1;
            mvDrawBlend(in.byte() % 5);
            break;
        case 5:
            mvDrawClear();
            open = -1;
            frontEnd().submit();
            FUZZ_CHECK(allBlack(softRendererPixels(r)));
            break;
        case 6: {
            float x = in.value(), y = in.value(), w = in.value(), h = in.value();
            // A sprite ends the open primitive; a sprite of no size is not drawn and ends nothing.
            if (w > 0 && h > 0) {
                drawWhole(frontEnd(), fuzz.texture, 3, 2, x, y, w, h);
                open = -1;
            }
            budget += kAreaWork;
            break;
        }
        case 7: {  // a trail that may hold no point and then draws nothing
            mvDrawEnd();
            open = -1;
            MVTrail *trail = mvTrailCreate(in.byte() % 8 + 1);
            for (int n = in.byte() % 12; n > 0; n--) {
                if (in.byte() % 5 == 0) {
                    mvTrailAddBreak(trail);
                } else {
                    float x = in.value(), y = in.value();
                    mvTrailAddPoint2f(trail, x, y);
                }
            }
            mvTrailDraw(trail);
            mvTrailDestroy(trail);
            budget += 8 * kLineWork;
            break;
        }
        case 8: {  // a frame ends: read back, check its cost
            FUZZ_CHECK(frontOf(r).readPixels(frame.data(), W, H));
            open = -1;
            uint64_t work = softRendererWork(r) - start;
            FUZZ_CHECK(work <= budget);
            FUZZ_CHECK(memcmp(frame.data(), softRendererPixels(r), frame.size()) == 0);
            budget = 0;
            start = softRendererWork(r);
            break;
        }
        }
    }
    mvDrawEnd();
    frontEnd().submit();
    FUZZ_CHECK(softRendererWork(r) - start <= budget);
    return 0;
}
