// mvDrawText with a megabyte of text, headless on the software renderer:
// the text wholly off the frame (below it, above it, to its right, and one
// line starting far to its left), against the same text with a single line
// on screen. What is off the frame should cost next to nothing: the goal is
// under 10 ms for the megabyte.
#include <benchmark/benchmark.h>
#include <morven/draw.h>
#include <morven/engine.h>
#include <morven/window.h>

#include <cstdlib>
#include <string>

namespace {

// 1 MiB of text: lines of 79 printable characters.
std::string megabyte(bool oneLine) {
    std::string text;
    text.reserve(1 << 20);
    for (size_t i = 0; text.size() < (1u << 20); i++)
        text += (!oneLine && i % 80 == 79) ? '\n' : static_cast<char>('!' + i % 94);
    return text;
}

void TextMegabyte(benchmark::State &state) {
    unsetenv("MORVEN_SCREENSHOT");
    mvInit(0);
    if (!mvWindowOpen(640, 480, 32, 0)) {
        state.SkipWithError("no window");
        return;
    }
    const float places[][2] = {{0, 10000}, {0, -1.0e7f}, {1000, 0}, {-1.0e7f, 200}, {0, 472}};
    const float *at = places[state.range(0)];
    std::string text = megabyte(state.range(0) == 3);
    for (auto _ : state) {
        mvDrawText(at[0], at[1], 8, text.c_str());
        mvWindowSwapBuffers();
        mvDrawClear();
    }
    mvDeinit();
}
// 0 below, 1 above, 2 right of the frame, 3 one line from far left crossing
// it, 4 the first line on the frame's last row.
BENCHMARK(TextMegabyte)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
