// Sounds and music from files, decoded and resampled by the "Sound" module.
#include <morven/sound.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/engine/engine_state.h"
#include "core/sound/mixer.h"

namespace {

// A sound in memory lasts at most ten minutes; longer ones are music.
constexpr int kMostFrames = 10 * 60 * kMixRate;
constexpr int kLowestRate = 1000, kHighestRate = 384000;

// A copy of the module's samples in memory of our own.
MVSound *adoptCopy(const MVPluginSoundFiles *files, float *decoded, int frames, int channels, const char *what) {
    size_t count = static_cast<size_t>(frames) * channels;
    float *copy = static_cast<float *>(malloc(sizeof(float) * count));
    if (copy) memcpy(copy, decoded, sizeof(float) * count);
    files->release(decoded);
    if (!copy) {
        setError("%s not loaded: out of memory", what);
        return nullptr;
    }
    MVSound *sound = soundAdopt(copy, frames, channels);
    if (!sound) setError("%s not loaded: out of memory", what);
    return sound;
}

MVSound *decode(const char *path, const void *data, size_t size, const char *what) {
    const MVPluginSoundFiles *files = engineSoundFilesPlugin();
    if (!files) {
        setError("%s not loaded: the \"Sound\" module is not loaded", what);
        return nullptr;
    }
    int frames = 0, channels = 0;
    float *decoded = files->decode(path, data, size, kMixRate, kMostFrames, &frames, &channels);
    if (!decoded) {
        setError("%s not loaded: %s", what, engineModuleError(MODULE_SOUND));
        return nullptr;
    }
    return adoptCopy(files, decoded, frames, channels, what);
}

// Reads through the module's stream functions.
const MVPluginSoundFiles *streamFiles;
int streamRead(void *stream, float *out, int frames, bool loop) {
    return streamFiles->streamRead(stream, out, frames, loop);
}
bool streamRewind(void *stream) { return streamFiles->streamRewind(stream); }
void streamClose(void *stream) { streamFiles->streamClose(stream); }
const char *streamError() { return engineModuleError(MODULE_SOUND); }

}  // namespace

extern "C" {

MV_API MVSound *mvSoundLoad(const char *path) {
    engineThreadCheck(__func__);
    if (!path) {
        setError("mvSoundLoad: no path");
        return nullptr;
    }
    char what[1100];
    snprintf(what, sizeof what, "sound %s", path);
    return decode(path, nullptr, 0, what);
}

MV_API MVSound *mvSoundLoadMemory(const void *data, size_t size) {
    engineThreadCheck(__func__);
    if (!data || size == 0) {
        setError("mvSoundLoadMemory: %s", data ? "no bytes" : "no data");
        return nullptr;
    }
    char what[96];
    snprintf(what, sizeof what, "sound in memory (%zu bytes)", size);
    return decode(nullptr, data, size, what);
}

MV_API void *mvSoundBankLoad(const char *path, void *data) {
    (void)data;
    return mvSoundLoad(path);
}

MV_API MVSound *mvSoundFromSamples(const float *samples, int frames, int channels, int rate) {
    engineThreadCheck(__func__);
    if (!samples || frames <= 0 || channels < 1 || channels > 2 || rate < kLowestRate || rate > kHighestRate) {
        setError("mvSoundFromSamples: %s", !samples                 ? "no samples"
                                                 : frames <= 0             ? "no frames"
                                                 : channels < 1 || channels > 2 ? "channels must be 1 or 2"
                                                                            : "rate outside 1000..384000");
        return nullptr;
    }
    if (static_cast<double>(frames) * kMixRate / rate > kMostFrames) {
        setError("mvSoundFromSamples: longer than ten minutes");
        return nullptr;
    }
    size_t count = static_cast<size_t>(frames) * channels;
    for (size_t i = 0; i < count; i++)
        if (!std::isfinite(samples[i])) {
            setError("mvSoundFromSamples: sample %zu is not a finite number", i);
            return nullptr;
        }
    if (rate != kMixRate) {
        const MVPluginSoundFiles *files = engineSoundFilesPlugin();
        if (!files) {
            setError("mvSoundFromSamples: samples at %d Hz need the \"Sound\" module to resample them to %d Hz",
                           rate, kMixRate);
            return nullptr;
        }
        int out = 0;
        float *resampled = files->resample(samples, frames, channels, rate, kMixRate, &out);
        if (!resampled || out <= 0) {
            if (resampled) files->release(resampled);
            setError("mvSoundFromSamples: not resampled: %s", engineModuleError(MODULE_SOUND));
            return nullptr;
        }
        return adoptCopy(files, resampled, out, channels, "mvSoundFromSamples: sound");
    }
    float *copy = static_cast<float *>(malloc(sizeof(float) * count));
    if (!copy) {
        setError("mvSoundFromSamples: out of memory");
        return nullptr;
    }
    memcpy(copy, samples, sizeof(float) * count);
    return soundAdopt(copy, frames, channels);
}

MV_API MVMusic *mvMusicOpen(const char *path) {
    engineThreadCheck(__func__);
    if (!path) {
        setError("mvMusicOpen: no path");
        return nullptr;
    }
    const MVPluginSoundFiles *files = engineSoundFilesPlugin();
    if (!files) {
        setError("music %s not opened: the \"Sound\" module is not loaded", path);
        return nullptr;
    }
    int channels = 0;
    void *stream = files->streamOpen(path, kMixRate, &channels);
    if (!stream) {
        setError("music %s not opened: %s", path, engineModuleError(MODULE_SOUND));
        return nullptr;
    }
    streamFiles = files;
    MusicDecoder decoder = {stream, streamRead, streamRewind, streamClose, streamError, channels};
    return musicCreate(decoder, path);
}

}
