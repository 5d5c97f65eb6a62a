// The mixer hand-over under a device: a thread mixing as an audio device's
// would while the engine's thread starts, stops, changes and frees voices.
// Built with ThreadSanitizer (the tsan preset runs every AnyThread test).
#include <gtest/gtest.h>
#include <morven/sound.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "core/sound/mixer.h"
#include "core/sound/output.h"

namespace {

TEST(SoundDeviceAnyThread, PlayStopVolumeWhileMixing) {
    ASSERT_TRUE(soundOutputStart(nullptr, true));
    std::atomic<bool> done{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> inRange{true};
    std::thread device([&] {
        std::vector<float> out(2 * 512);
        while (!done.load()) {
            soundDeviceRender(nullptr, out.data(), 512);
            for (float v : out)
                if (!(std::fabs(v) <= 1.0f)) inRange = false;
            blocks++;
        }
    });
    std::vector<float> noise(4800);
    for (size_t i = 0; i < noise.size(); i++) noise[i] = (i * 7919 % 200) / 100.0f - 1.0f;
    for (int round = 0; round < 300; round++) {
        MVSound *sound = mvSoundFromSamples(noise.data(), 2400, round % 2 + 1, 48000);
        ASSERT_NE(sound, nullptr);
        MVVoice voices[16];
        for (MVVoice &v : voices) v = mvSoundPlay(sound, 1.0f, 0.0f, round % 3 == 0);
        for (int i = 0; i < 16; i++) {
            mvVoiceSetVolume(voices[i], 0.1f * i);
            mvVoiceSetPan(voices[i], i / 8.0f - 1.0f);
            mvVoiceSetPitch(voices[i], 0.5f + i / 4.0f);
            if (i % 4 == 0) mvVoiceStop(voices[i]);
            (void)mvVoicePlaying(voices[i]);
        }
        mvSoundSetMasterVolume(round % 2 ? 0.5f : 1.0f);
        soundOutputFrame(60);
        mvSoundFree(sound);  // released once the device has let go
        if (round % 50 == 0) std::this_thread::yield();
    }
    while (blocks.load() < 20) std::this_thread::yield();
    done = true;
    device.join();
    EXPECT_TRUE(inRange.load());
    EXPECT_TRUE(soundOutputStop());
    for (int i = 0; i < MV_SOUND_VOICES; i++) EXPECT_FALSE(mixerSlotBusy(i));
}

}  // namespace
