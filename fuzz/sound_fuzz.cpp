// Fuzzes the sound-file path with arbitrary bytes: mvSoundLoadMemory through
// the "Sound" module's code (linked in, as the fuzz build has no modules)
// either refuses with a reason or gives a sound of one or two channels of
// finite samples, which then mixes within full scale.
#include <morven/error.h>
#include <morven/sound.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/engine/engine_state.h"
#include "core/sound/mixer.h"
#include "fuzz_check.h"

extern "C" const MVPlugin *mvPluginEntry();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    engineState().modules[MODULE_SOUND].plugin = mvPluginEntry();
    MVSound *sound = mvSoundLoadMemory(data, size);
    if (!sound) {
        FUZZ_CHECK(size == 0 || strstr(mvGetError(), "sound in memory") != nullptr);
        return 0;
    }
    int channels = 0;
    int frames = mvSoundFrames(sound, &channels);
    FUZZ_CHECK(frames > 0 && (channels == 1 || channels == 2));
    mixerSetDriven(true);
    MVVoice voice = mvSoundPlay(sound, 1.0f, 0.3f, true);
    FUZZ_CHECK(voice != 0);
    mvVoiceSetPitch(voice, 1.7f);
    float out[2 * 512];
    mixerRender(out, 512);
    for (float v : out) FUZZ_CHECK(std::fabs(v) <= 1.0f);
    mvSoundFree(sound);
    mixerEndAllVoices();
    soundCollect();
    mixerSetDriven(false);
    return 0;
}
