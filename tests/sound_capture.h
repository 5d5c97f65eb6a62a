// Runs of the engine with the null device and MORVEN_AUDIO_CAPTURE, and
// measures of the captured WAV files, for the sound tests.
#ifndef MORVEN_TESTS_SOUND_CAPTURE_H
#define MORVEN_TESTS_SOUND_CAPTURE_H

#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/window.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Stereo {
    std::vector<float> left, right;
    std::vector<uint8_t> bytes;  // the whole file
};

inline std::string tempPath(const char *name) {
    char pattern[] = "/tmp/morven-sound-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return std::string(dir ? dir : "/tmp") + "/" + name;
}

inline uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// Reads a capture: the header fields it promises, then the frames.
inline Stereo readCapture(const std::string &path) {
    Stereo s;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return s;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) s.bytes.insert(s.bytes.end(), buffer, buffer + n);
    fclose(f);
    const uint8_t *h = s.bytes.data();
    if (s.bytes.size() < 56 || memcmp(h, "RIFF", 4) || memcmp(h + 8, "WAVEfmt ", 8) || le32(h + 20) != (3u | 2u << 16) ||
        le32(h + 24) != 48000 || memcmp(h + 48, "data", 4) || le32(h + 52) != s.bytes.size() - 56) {
        ADD_FAILURE() << path << " is not the capture's float stereo WAV";
        return s;
    }
    size_t frames = (s.bytes.size() - 56) / 8;
    EXPECT_EQ(le32(h + 44), frames);
    s.left.resize(frames);
    s.right.resize(frames);
    for (size_t i = 0; i < frames; i++) {
        uint32_t l = le32(h + 56 + 8 * i), r = le32(h + 60 + 8 * i);
        memcpy(&s.left[i], &l, 4);
        memcpy(&s.right[i], &r, 4);
    }
    return s;
}

// A headless engine run of frames frames at 60 a second with the capture
// on; each frame calls step(frame) before presenting it.
// module, when given, is loaded for the run.
inline Stereo captureRun(int frames, const std::function<void(int)> &step, int rate = 0, const char *module = nullptr) {
    std::string path = tempPath("capture.wav");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("MORVEN_INPUT_SCRIPT");
    unsetenv("MORVEN_SCREENSHOT");
    unsetenv("MORVEN_MAX_FRAMES");
    setenv("MORVEN_AUDIO_CAPTURE", path.c_str(), 1);
    if (module) {
#ifdef MORVEN_TEST_MODULE_DIR
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
#endif
        EXPECT_TRUE(mvLoadModule(module)) << mvGetError();
        unsetenv("MORVEN_MODULE_PATH");
    }
    bool ok = mvInit(0) && mvWindowOpen(32, 32, 32, 0);
    EXPECT_TRUE(ok) << mvGetError();
    if (rate) mvLoopSetRate(rate);
    for (int f = 0; ok && f < frames && mvLoop(0); f++) {
        step(f);
        mvWindowSwapBuffers();
    }
    mvLoop(0);  // mixes the last frame
    mvDeinit();
    unsetenv("MORVEN_AUDIO_CAPTURE");
    Stereo s = readCapture(path);
    unlink(path.c_str());
    return s;
}

inline std::vector<float> sine(double hz, int frames, float amplitude = 0.5f) {
    std::vector<float> v(frames);
    for (int i = 0; i < frames; i++) v[i] = amplitude * static_cast<float>(std::sin(2 * kPi * hz * i / 48000.0));
    return v;
}

inline float peak(const std::vector<float> &v, size_t from = 0, size_t to = SIZE_MAX) {
    float m = 0;
    for (size_t i = from; i < v.size() && i < to; i++) m = std::max(m, std::fabs(v[i]));
    return m;
}

// Frequency by rising zero crossings over [from, to).
inline double frequency(const std::vector<float> &v, size_t from, size_t to) {
    size_t first = 0, last = 0, count = 0;
    for (size_t i = from + 1; i < to && i < v.size(); i++)
        if (v[i - 1] < 0 && v[i] >= 0) {
            if (!count) first = i;
            last = i;
            count++;
        }
    return count > 1 ? (count - 1) * 48000.0 / (last - first) : 0.0;
}

inline float largestStep(const std::vector<float> &v, size_t from, size_t to) {
    float m = 0;
    for (size_t i = from + 1; i < to && i < v.size(); i++) m = std::max(m, std::fabs(v[i] - v[i - 1]));
    return m;
}

inline size_t firstSound(const std::vector<float> &v) {
    for (size_t i = 0; i < v.size(); i++)
        if (v[i] != 0.0f) return i;
    return SIZE_MAX;
}

}  // namespace

#endif
