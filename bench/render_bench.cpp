// One frame of the atlas demo, headless, drawn by the software renderer:
// clear, the 256 x 256 atlas image, the frames of its areas, swap.
#include <benchmark/benchmark.h>
#include <morven/atlas.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/window.h>

#include <cstdlib>
#include <vector>

namespace {

// The demo's atlas: 256 tiles of 12..16 pixels with gradient images.
MVAtlas *demoAtlas() {
    MVAtlas *atlas = mvAtlasCreate(256, 256, 32);
    srand(1);
    std::vector<unsigned char> data(16 * 16 * 4);
    for (int attempt = 0; attempt < 256; attempt++) {
        int first = rand(), second = rand();
        MVAtlasArea *area = mvAtlasAreaReserve(atlas, 12 + first % 5, 12 + second % 5, 0);
        if (!area) continue;
        for (unsigned i = 0; i < area->w; i++)
            for (unsigned j = 0; j < area->h; j++) {
                unsigned char *pixel = data.data() + 4 * (i + j * area->w);
                pixel[0] = static_cast<unsigned char>(int(float(i) / float(area->w) * 255.0f));
                pixel[1] = static_cast<unsigned char>(int(float(j) / float(area->h) * 255.0f));
                pixel[2] = 127;
                pixel[3] = 255;
            }
        mvAtlasAreaSetData(atlas, area, area->w, area->h, 32, data.data());
    }
    return atlas;
}

void AtlasDemoFrame(benchmark::State &state) {
    unsetenv("MORVEN_SCREENSHOT");
    mvInit(0);  // no modules loaded: headless, software renderer
    if (!mvWindowOpen(640, 480, 32, 0)) {
        state.SkipWithError("no window");
        return;
    }
    MVAtlas *atlas = demoAtlas();
    for (auto _ : state) {
        mvDrawColor1f(1.0f);
        mvAtlasDrawDBG(atlas, 192.0f, 112.0f, 0, MV_ATLAS_DRAW_IMAGE);
        mvDrawColor3f(0.0f, 1.0f, 0.0f);
        mvAtlasDrawDBG(atlas, 192.0f, 112.0f, 0, MV_ATLAS_DRAW_FRAMES);
        mvWindowSwapBuffers();
        mvDrawClear();
    }
    mvAtlasDestroy(atlas);
    mvDeinit();
}
BENCHMARK(AtlasDemoFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
