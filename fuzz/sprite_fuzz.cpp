// Random streams of sprites with extreme positions, sizes, angles and source
// rectangles, mixed with colours, triangles, texture updates and clears,
// drawn twice by the software renderer: held back and drawn in bands on
// three threads, and flushed after every call on one. The frames must be
// the same, and the sanitizers catch any read or write outside the frame
// or the texture.
#include <morven/draw.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/render/renderer.h"
#include "front_of.h"
#include "core/render/soft_renderer.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

constexpr int W = 96, H = 72;  // big enough for a batch to be shared out

struct Target {
    MVRenderer *r;
    bool eachAlone;
    uint32_t texture = 0;

    Target(unsigned threads, bool alone) : r(softRendererCreate(W, H)), eachAlone(alone) {
        FUZZ_CHECK(r);
        softRendererSetThreads(r, threads);
        softRendererSetSharedPixels(r, 0);  // every batch, however small
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Target banded(3, false), alone(1, true);
    Target *both[2] = {&banded, &alone};
    FuzzInput in{data, size, float(W), float(H)};
    // A texture of 1 to 24 x 1 to 24 texels, each alpha clear, opaque or between.
    int tw = 1 + in.byte() % 24, th = 1 + in.byte() % 24;
    std::vector<uint8_t> texels(size_t(tw) * th * 4);
    for (size_t i = 0; i < texels.size(); i++) texels[i] = uint8_t(i % 4 == 3 ? (i * 37) % 3 * 127 + in.byte() % 2 : i * 29);
    for (Target *t : both) {
        if (t->texture) frontOf(t->r).textureDestroy(t->texture);
        t->texture = frontOf(t->r).textureCreate(tw, th);
        FUZZ_CHECK(t->texture);
        frontOf(t->r).textureUpdate(t->texture, 0, 0, tw, th, texels.data());
        frontOf(t->r).color(1, 1, 1, 1);
        frontOf(t->r).clear();
    }
    std::vector<MVSprite> batch;
    for (int op = 0; in.size && op < 300; op++) {
        switch (in.byte() % 8) {
        case 0:
        case 1:
        case 2:
        case 3: {  // a batch of one to eight sprites, source rectangles in and out of the texture
            batch.resize(1 + in.byte() % 8);
            for (MVSprite &s : batch) {
                s.sx = int(in.byte() % 28) - 2;
                s.sy = int(in.byte() % 28) - 2;
                s.sw = int(in.byte() % 28) - 1;
                s.sh = int(in.byte() % 28) - 1;
                s.x = in.value();
                s.y = in.value();
                s.w = in.byte() % 2 ? in.value() : float(in.byte() % 64);
                s.h = in.byte() % 2 ? in.value() : float(in.byte() % 64);
                s.angle = in.byte() % 2 ? in.value() : 1.5707964f * float(in.byte() % 4);
            }
            for (Target *t : both) {
                frontOf(t->r).sprites(t->texture, batch.data(), batch.size());
                if (t->eachAlone) frontOf(t->r).submit();
            }
            break;
        }
        case 4: {
            float c[4];
            for (float &v : c) v = in.byte() % 3 ? 1.0f : in.value();
            for (Target *t : both) frontOf(t->r).color(c[0], c[1], c[2], c[3]);
            break;
        }
        case 5: {  // a triangle over the sprites held back
            float v[6];
            for (float &f : v) f = in.value();
            for (Target *t : both) {
                frontOf(t->r).begin(MV_DRAW_TRIANGLES);
                for (int k = 0; k < 6; k += 2) frontOf(t->r).vertex(v[k], v[k + 1]);
                frontOf(t->r).end();
            }
            break;
        }
        case 6: {  // a texel changes under the sprites held back
            int x = in.byte() % tw, y = in.byte() % th;
            uint8_t texel[4] = {in.byte(), in.byte(), in.byte(), in.byte()};
            for (Target *t : both) frontOf(t->r).textureUpdate(t->texture, x, y, 1, 1, texel);
            break;
        }
        default:
            for (Target *t : both) frontOf(t->r).clear();
        }
    }
    std::vector<uint8_t> a(size_t(W) * H * 4), b(a.size());
    FUZZ_CHECK(frontOf(banded.r).readPixels(a.data(), W, H));
    FUZZ_CHECK(frontOf(alone.r).readPixels(b.data(), W, H));
    FUZZ_CHECK(memcmp(a.data(), b.data(), a.size()) == 0);
    return 0;
}
