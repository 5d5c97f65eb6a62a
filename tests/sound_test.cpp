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
#include "core/sound/wav_write.h"
#include "sound_capture.h"

namespace {

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

// A capture that cannot be written says where and why, and leaves no file.
TEST(SoundVoices, CaptureToMissingDirectoryRefused) {
    EXPECT_EQ(wavOpen("/no/such/dir/capture.wav"), nullptr);
    EXPECT_NE(strstr(mvGetError(), "/no/such/dir/capture.wav"), nullptr) << mvGetError();
    std::string path = tempPath("kept.wav");
    FILE *old = fopen(path.c_str(), "w");
    ASSERT_NE(old, nullptr);
    fputs("older", old);
    fclose(old);
    WavWriter *wav = wavOpen(path.c_str());
    ASSERT_NE(wav, nullptr);
    float frames[4] = {0.25f, -0.25f, 0.5f, -0.5f};
    EXPECT_TRUE(wavWrite(wav, frames, 2));
    char older[16] = {};
    old = fopen(path.c_str(), "r");
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(fread(older, 1, sizeof older, old), 5u);  // not replaced until complete
    fclose(old);
    EXPECT_TRUE(wavClose(wav));
    Stereo after = readCapture(path);
    ASSERT_EQ(after.left.size(), 2u);
    EXPECT_EQ(after.left[1], 0.5f);
    EXPECT_EQ(after.right[0], -0.25f);
    unlink(path.c_str());
}

}  // namespace
