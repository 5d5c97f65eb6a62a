// The mixer as heard: runs of the engine with the null device and
// MORVEN_AUDIO_CAPTURE, whose WAV files are measured here.
#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/sound.h>
#include <morven/window.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/sound/mixer.h"
#include "core/sound/output.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Stereo {
    std::vector<float> left, right;
    std::vector<uint8_t> bytes;  // the whole file
};

std::string tempPath(const char *name) {
    char pattern[] = "/tmp/morven-sound-XXXXXX";
    const char *dir = mkdtemp(pattern);
    return std::string(dir ? dir : "/tmp") + "/" + name;
}

uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

// Reads a capture: the header fields it promises, then the frames.
Stereo readCapture(const std::string &path) {
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
Stereo captureRun(int frames, const std::function<void(int)> &step, int rate = 0) {
    std::string path = tempPath("capture.wav");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("MORVEN_INPUT_SCRIPT");
    unsetenv("MORVEN_SCREENSHOT");
    unsetenv("MORVEN_MAX_FRAMES");
    setenv("MORVEN_AUDIO_CAPTURE", path.c_str(), 1);
    if (rate) mvLoopSetRate(rate);
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

std::vector<float> sine(double hz, int frames, float amplitude = 0.5f) {
    std::vector<float> v(frames);
    for (int i = 0; i < frames; i++) v[i] = amplitude * static_cast<float>(std::sin(2 * kPi * hz * i / 48000.0));
    return v;
}

float peak(const std::vector<float> &v, size_t from = 0, size_t to = SIZE_MAX) {
    float m = 0;
    for (size_t i = from; i < v.size() && i < to; i++) m = std::max(m, std::fabs(v[i]));
    return m;
}

// Frequency by rising zero crossings over [from, to).
double frequency(const std::vector<float> &v, size_t from, size_t to) {
    size_t first = 0, last = 0, count = 0;
    for (size_t i = from + 1; i < to && i < v.size(); i++)
        if (v[i - 1] < 0 && v[i] >= 0) {
            if (!count) first = i;
            last = i;
            count++;
        }
    return count > 1 ? (count - 1) * 48000.0 / (last - first) : 0.0;
}

float largestStep(const std::vector<float> &v, size_t from, size_t to) {
    float m = 0;
    for (size_t i = from + 1; i < to && i < v.size(); i++) m = std::max(m, std::fabs(v[i] - v[i - 1]));
    return m;
}

size_t firstSound(const std::vector<float> &v) {
    for (size_t i = 0; i < v.size(); i++)
        if (v[i] != 0.0f) return i;
    return SIZE_MAX;
}

// The sine of a voice, as heard: pan, volume and pitch.
TEST(SoundCapture, PanVolumeAndPitchAsHeard) {
    std::vector<float> tone = sine(440, 48000);
    MVVoice voices[3] = {};
    Stereo s = captureRun(60, [&](int f) {
        static MVSound *sound;
        if (f == 0) {
            sound = mvSoundFromSamples(tone.data(), 48000, 1, 48000);
            ASSERT_NE(sound, nullptr) << mvGetError();
            voices[0] = mvSoundPlay(sound, 1.0f, -1.0f, false);
        } else if (f == 59) {
            mvSoundFree(sound);
        }
    });
    ASSERT_EQ(s.left.size(), 48000u);
    EXPECT_NEAR(peak(s.left), 0.5f, 0.001f);
    EXPECT_LT(peak(s.right), 0.5f * 0.001f);  // below -60 dB of the left
    EXPECT_NEAR(frequency(s.left, 0, 48000), 440.0, 1.0);

    float full = 0, half = 0;
    s = captureRun(60, [&](int f) {
        static MVSound *sound;
        if (f == 0) {
            sound = mvSoundFromSamples(tone.data(), 48000, 1, 48000);
            voices[1] = mvSoundPlay(sound, 1.0f, 0.0f, true);
        } else if (f == 20) {
            mvVoiceSetVolume(voices[1], 0.5f);
        } else if (f == 40) {
            mvVoiceSetVolume(voices[1], 1.0f);
            mvVoiceSetPitch(voices[1], 2.0f);
        } else if (f == 59) {
            mvSoundFree(sound);
        }
    });
    full = peak(s.left, 0, 16000);
    half = peak(s.left, 17000, 32000);
    EXPECT_NEAR(full, 0.5f / std::sqrt(2.0f), 0.002f);  // equal power at the centre
    EXPECT_NEAR(half / full, 0.5f, 0.005f);
    EXPECT_EQ(s.left, s.right);
    EXPECT_NEAR(frequency(s.left, 33000, 47000), 880.0, 2.0);
    EXPECT_NEAR(frequency(s.left, 1000, 15000), 440.0, 1.0);
}

// A looped sound joins its end to its start; a stopped or freed voice fades
// out over the glide instead of stepping to silence.
TEST(SoundCapture, LoopJoinsAndStopFades) {
    std::vector<float> tone = sine(400, 1200, 0.8f);  // 10 whole cycles
    std::vector<float> level(4000, 0.5f);
    MVVoice held = 0;
    Stereo s = captureRun(30, [&](int f) {
        static MVSound *a, *b;
        if (f == 0) {
            a = mvSoundFromSamples(tone.data(), 1200, 1, 48000);
            b = mvSoundFromSamples(level.data(), 4000, 1, 48000);
            mvSoundPlay(a, 1.0f, -1.0f, true);
            held = mvSoundPlay(b, 1.0f, 1.0f, true);
        }
        if (f == 10) {
            mvVoiceStop(held);
            EXPECT_FALSE(mvVoicePlaying(held));
        }
        if (f == 20) mvSoundFree(a);
        if (f == 29) mvSoundFree(b);
    });
    ASSERT_EQ(s.left.size(), 24000u);
    // A sine of 0.8 moves at most 0.8 * 2 pi 400 / 48000 = 0.042 a frame.
    EXPECT_LT(largestStep(s.left, 0, 24000), 0.0425f);
    EXPECT_GT(peak(s.left, 15000, 16000), 0.79f);  // still playing across many loops
    EXPECT_EQ(peak(s.left, 16000 + 240, 24000), 0.0f);
    // The level of 0.5 falls to 0 in 240 frames: steps of about 0.5 / 240.
    EXPECT_NEAR(s.right[7999], 0.5f, 1e-6f);
    EXPECT_LT(largestStep(s.right, 7990, 9000), 0.5f / 240 * 1.01f);
    EXPECT_EQ(s.right[8000 + 240], 0.0f);
    EXPECT_GT(s.right[8000 + 120], 0.2f);
}

// 64 voices of a full-scale sine in phase: the sum stays within full scale.
TEST(SoundCapture, SixtyFourVoicesNeverClip) {
    std::vector<float> tone = sine(440, 48000, 1.0f);
    Stereo s = captureRun(20, [&](int f) {
        static MVSound *sound;
        if (f == 0) {
            sound = mvSoundFromSamples(tone.data(), 48000, 1, 48000);
            for (int i = 0; i < 64; i++) {
                ASSERT_NE(mvSoundPlay(sound, 1.0f, (i % 3) - 1.0f, false), 0u);
            }
            mvSoundSetMasterVolume(2.0f);
        }
        if (f == 19) mvSoundFree(sound);
    });
    ASSERT_EQ(s.left.size(), 16000u);
    EXPECT_LE(peak(s.left), 1.0f);
    EXPECT_LE(peak(s.right), 1.0f);
    EXPECT_GT(peak(s.left), 0.95f);
    mvSoundSetMasterVolume(1.0f);
}

// The null device: a voice started in frame n starts at n * 48000 / rate,
// the remainder carried; the same run gives the same bytes.
TEST(SoundCapture, FrameExactAndRepeatable) {
    std::vector<float> click(100, 0.25f);
    auto run = [&](int rate) {
        return captureRun(
            40, [&](int f) {
                static MVSound *sound;
                if (f == 0) sound = mvSoundFromSamples(click.data(), 100, 1, 48000);
                if (f == 7) mvSoundPlay(sound, 1.0f, 0.0f, false);
                if (f == 39) mvSoundFree(sound);
            },
            rate);
    };
    Stereo a = run(70), b = run(70);
    EXPECT_EQ(a.left.size(), 40u * 48000 / 70);
    EXPECT_EQ(firstSound(a.left), 7u * 48000 / 70);  // 4800, after carrying 7 remainders
    EXPECT_EQ(a.bytes, b.bytes);
    Stereo c = run(60);
    EXPECT_EQ(firstSound(c.left), 7u * 800);
    mvLoopSetRate(60);
}

// Handles: a stale one does nothing; a full mixer refuses with a reason.
TEST(SoundVoices, StaleHandlesAndFullMixer) {
    float one[48] = {0.5f};
    MVSound *sound = mvSoundFromSamples(one, 48, 1, 48000);
    ASSERT_NE(sound, nullptr);
    mixerSetDriven(true);
    float out[2 * 256];
    MVVoice first = mvSoundPlay(sound, 1.0f, 0.0f, false);
    EXPECT_TRUE(mvVoicePlaying(first));
    mixerRender(out, 256);  // the sound ends
    EXPECT_FALSE(mvVoicePlaying(first));
    std::vector<MVVoice> all;
    for (int i = 0; i < MV_SOUND_VOICES; i++) all.push_back(mvSoundPlay(sound, 1.0f, 0.0f, true));
    for (MVVoice v : all) {
        EXPECT_NE(v, 0u);
        EXPECT_NE(v, first);  // the slot came back with a new generation
    }
    EXPECT_EQ(mvSoundPlay(sound, 1.0f, 0.0f, false), 0u);
    EXPECT_NE(strstr(mvGetError(), "voices"), nullptr) << mvGetError();
    mvVoiceStop(first);  // stale: the voice now in its slot plays on
    mixerRender(out, 256);
    for (MVVoice v : all) EXPECT_TRUE(mvVoicePlaying(v));
    EXPECT_FALSE(mvVoicePlaying(0));
    // Freeing fades every voice out; the sound's memory goes after that
    // (AddressSanitizer sees a read of it once freed).
    mvSoundFree(sound);
    for (MVVoice v : all) EXPECT_FALSE(mvVoicePlaying(v));
    mixerRender(out, 256);
    mixerRender(out, 256);
    EXPECT_EQ(out[2 * 255], 0.0f);
    soundCollect();
    mixerSetDriven(false);
    EXPECT_NE(mvSoundPlay(nullptr, 1, 0, false), 1u);
}

TEST(SoundVoices, BadSamplesAndMissingModuleRefused) {
    float samples[4] = {0, 0.5f, NAN, 0};
    EXPECT_EQ(mvSoundFromSamples(samples, 4, 1, 48000), nullptr);
    EXPECT_NE(strstr(mvGetError(), "finite"), nullptr) << mvGetError();
    EXPECT_EQ(mvSoundFromSamples(samples, 2, 3, 48000), nullptr);
    EXPECT_EQ(mvSoundFromSamples(samples, 2, 1, 44100), nullptr);
    EXPECT_NE(strstr(mvGetError(), "\"Sound\" module"), nullptr) << mvGetError();
    EXPECT_EQ(mvSoundLoad("/no/such/file.wav"), nullptr);
    EXPECT_NE(strstr(mvGetError(), "/no/such/file.wav"), nullptr) << mvGetError();
    EXPECT_EQ(mvMusicOpen("music.ogg"), nullptr);
    EXPECT_NE(strstr(mvGetError(), "music.ogg"), nullptr) << mvGetError();
}

}  // namespace
