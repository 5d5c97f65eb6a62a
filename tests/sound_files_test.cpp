// Sound files through the "Sound" module: every format libsndfile writes
// here (WAV, FLAC, Ogg Vorbis, Ogg Opus) decodes and resamples to the
// mixer's rate, from a file and from memory; cut and damaged files of each
// are refused with the file and a reason; music streams loop seamlessly.
#include <gtest/gtest.h>
#include <morven/engine.h>
#include <morven/error.h>
#include <morven/sound.h>

#if defined(MORVEN_TEST_SNDFILE) && defined(MORVEN_TEST_MODULE_DIR)
#include <sndfile.h>

#include <fstream>
#include <iterator>

#include "core/sound/mixer.h"
#include "sound_capture.h"

// libsndfile 1.2 leaves the libvorbis header state of an Ogg file it
// refuses as corrupt: Debian's leak, not ours (valgrind: libraries.supp).
extern "C" __attribute__((visibility("default"), used)) const char *__lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

namespace {

struct Format {
    const char *name;
    int format;
    int rate;
};
const Format kFormats[] = {
    {"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100},
    {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100},
    {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100},
    {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000},
};

// One second of a 441 Hz sine (whole cycles) in stereo, written as format.
std::vector<uint8_t> writeSine(const Format &f, const std::string &path) {
    SF_INFO info = {};
    info.samplerate = f.rate;
    info.channels = 2;
    info.format = f.format;
    SNDFILE *sf = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(sf, nullptr) << f.name << ": " << sf_strerror(nullptr);
    if (!sf) return {};
    std::vector<float> frames(2 * f.rate);
    for (int i = 0; i < f.rate; i++)
        frames[2 * i] = frames[2 * i + 1] = 0.5f * static_cast<float>(std::sin(2 * kPi * 441.0 * i / f.rate));
    sf_writef_float(sf, frames.data(), f.rate);
    sf_close(sf);
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string &path, const std::vector<uint8_t> &bytes, size_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(count));
}

class SoundFiles : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("MORVEN_MODULE_PATH", MORVEN_TEST_MODULE_DIR, 1);
        ASSERT_TRUE(mvLoadModule("Sound")) << mvGetError();
        unsetenv("MORVEN_MODULE_PATH");
    }
    void TearDown() override { mvDeinit(); }
};

TEST_F(SoundFiles, EveryFormatDecodesAndResamples) {
    for (const Format &f : kFormats) {
        std::string path = tempPath((std::string("sine.") + f.name).c_str());
        std::vector<uint8_t> bytes = writeSine(f, path);
        MVSound *file = mvSoundLoad(path.c_str());
        ASSERT_NE(file, nullptr) << mvGetError();
        MVSound *memory = mvSoundLoadMemory(bytes.data(), bytes.size());
        ASSERT_NE(memory, nullptr) << mvGetError();
        int channels = 0;
        int frames = mvSoundFrames(file, &channels);
        EXPECT_EQ(channels, 2) << f.name;
        EXPECT_NEAR(frames, 48000, 480) << f.name;
        EXPECT_EQ(mvSoundFrames(memory, nullptr), frames) << f.name;
        std::vector<float> left(frames);
        for (int i = 0; i < frames; i++) left[i] = file->samples[2 * i];
        EXPECT_NEAR(frequency(left, 4800, 43200), 441.0, 1.0) << f.name;  // the rate was converted
        EXPECT_NEAR(peak(left, 4800, 43200), 0.5f, 0.03f) << f.name;
        EXPECT_EQ(0, memcmp(file->samples, memory->samples, sizeof(float) * 2 * frames)) << f.name;
        mvSoundFree(file);
        mvSoundFree(memory);
        unlink(path.c_str());
    }
}

TEST_F(SoundFiles, CutAndDamagedFilesRefusedWithReason) {
    for (const Format &f : kFormats) {
        std::string path = tempPath((std::string("bad.") + f.name).c_str());
        std::vector<uint8_t> bytes = writeSine(f, path);
        ASSERT_GT(bytes.size(), 1000u);
        std::vector<uint8_t> damaged = bytes;
        for (size_t i = 0; i < 24; i++) damaged[i + 4] ^= static_cast<uint8_t>(0x5a + 37 * i);
        std::vector<uint8_t> noisy = bytes;
        for (size_t i = noisy.size() / 3; i < noisy.size() * 2 / 3; i++) noisy[i] = static_cast<uint8_t>(i * 7919 >> 3);
        struct Case {
            const char *what;
            const std::vector<uint8_t> &data;
            size_t size;
        } cases[] = {{"cut in half", bytes, bytes.size() / 2},
                     {"cut in its header", bytes, 30},
                     {"damaged header", damaged, damaged.size()},
                     {"noise in its middle", noisy, noisy.size()}};
        for (const Case &c : cases) {
            // Noise over PCM samples is just other samples: only the
            // formats with checks on their data can tell.
            if (!strcmp(c.what, "noise in its middle") && !strcmp(f.name, "wav")) continue;
            writeBytes(path, c.data, c.size);
            MVSound *sound = mvSoundLoad(path.c_str());
            EXPECT_EQ(sound, nullptr) << f.name << " " << c.what;
            mvSoundFree(sound);
            if (!sound) {
                EXPECT_NE(strstr(mvGetError(), path.c_str()), nullptr) << f.name << " " << c.what << ": " << mvGetError();
            }
            sound = mvSoundLoadMemory(c.data.data(), c.size);
            EXPECT_EQ(sound, nullptr) << f.name << " " << c.what << " in memory";
            mvSoundFree(sound);
        }
        unlink(path.c_str());
    }
    EXPECT_EQ(mvSoundLoad("/no/such/sound.wav"), nullptr);
    EXPECT_NE(strstr(mvGetError(), "/no/such/sound.wav"), nullptr) << mvGetError();
}

// Music resampled while it streams, looped: no gap and no jump where the
// end joins the start, and a restart while it plays fades the old one.
TEST_F(SoundFiles, MusicLoopsSeamlessly) {
    const Format &wav = kFormats[0];
    std::string path = tempPath("music.wav");
    writeSine(wav, path);
    Stereo s = captureRun(150, [&](int f) {
        static MVMusic *music;
        if (f == 0) {
            music = mvMusicOpen(path.c_str());
            ASSERT_NE(music, nullptr) << mvGetError();
            ASSERT_TRUE(mvMusicPlay(music, 1.0f, true)) << mvGetError();
            EXPECT_NE(mvMusicVoice(music), 0u);
        }
        if (f == 149) mvMusicClose(music);
    }, 0, "Sound");
    ASSERT_EQ(s.left.size(), 150u * 800);
    // 0.5 at 441 Hz moves at most 0.029 a frame; a gap or jump moves more.
    EXPECT_LT(largestStep(s.left, 0, 150 * 800), 0.031f);
    EXPECT_NEAR(peak(s.left, 47000, 49000), 0.5f, 0.01f);  // across the first loop point
    EXPECT_NEAR(frequency(s.left, 1000, 119000), 441.0, 0.2);
    unlink(path.c_str());
}

}  // namespace
#endif
