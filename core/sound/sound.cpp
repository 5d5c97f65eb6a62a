// Sounds in memory and their voices: the engine's side of the mixer.
#include <morven/sound.h>

#include <cstdlib>

#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/sound/mixer.h"

namespace {

// Freed sounds that a voice may still read, oldest first.
MVSound *freedSounds = nullptr;

bool playsSound(const MVSound *sound) {
    for (int i = 0; i < kVoiceCount; i++)
        if (mixerSlotBusy(i) && mixerSlot(i).sound == sound) return true;
    return false;
}

void release(MVSound *sound) {
    free(sound->samples);
    free(sound);
}

}  // namespace

MVSound *soundAdopt(float *samples, int frames, int channels) {
    MVSound *sound = static_cast<MVSound *>(malloc(sizeof(MVSound)));
    if (!sound) {
        free(samples);
        setError("out of memory");
        return nullptr;
    }
    *sound = {samples, frames, channels, false, nullptr};
    return sound;
}

void soundCollect() {
    MVSound **link = &freedSounds;
    while (MVSound *s = *link) {
        if (playsSound(s)) {
            link = &s->nextFreed;
        } else {
            *link = s->nextFreed;
            release(s);
        }
    }
}

extern "C" {

MV_API void mvSoundFree(MVSound *sound) {
    engineThreadCheck(__func__);
    if (!sound || sound->freed) return;
    sound->freed = true;
    for (int i = 0; i < kVoiceCount; i++) {
        VoiceSlot &slot = mixerSlot(i);
        if (slot.sound != sound || !mixerSlotBusy(i)) continue;
        slot.ownerStopped = true;
        slot.stopGen.store(slot.ownerGen, std::memory_order_release);
        if (!mixerDriven()) mixerEndVoice(i);
    }
    if (!playsSound(sound)) {
        release(sound);
    } else {
        MVSound **link = &freedSounds;
        while (*link) link = &(*link)->nextFreed;
        *link = sound;
    }
    soundCollect();
}

MV_API int mvSoundFrames(const MVSound *sound, int *channels) {
    if (channels) *channels = sound ? sound->channels : 0;
    return sound ? sound->frames : 0;
}

MV_API MVVoice mvSoundPlay(MVSound *sound, float volume, float pan, bool loop) {
    engineThreadCheck(__func__);
    soundCollect();
    if (!sound || sound->freed) {
        setError("mvSoundPlay: %s", sound ? "the sound was freed" : "no sound");
        return 0;
    }
    int index = mixerFindFreeSlot();
    if (index < 0) {
        setError("mvSoundPlay: all %d voices are playing", kVoiceCount);
        return 0;
    }
    return mixerStart(index, sound, nullptr, volume, pan, loop);
}

MV_API void mvVoiceStop(MVVoice voice) {
    engineThreadCheck(__func__);
    int index = mixerSlotOf(voice);
    if (index < 0) return;
    VoiceSlot &slot = mixerSlot(index);
    slot.ownerStopped = true;
    slot.stopGen.store(slot.ownerGen, std::memory_order_release);
}

MV_API void mvVoiceSetVolume(MVVoice voice, float volume) {
    engineThreadCheck(__func__);
    int index = mixerSlotOf(voice);
    if (index < 0) return;
    if (!(volume >= 0.0f)) volume = 0.0f;
    mixerSlot(index).volume.store(volume > 8.0f ? 8.0f : volume, std::memory_order_relaxed);
}

MV_API void mvVoiceSetPan(MVVoice voice, float pan) {
    engineThreadCheck(__func__);
    int index = mixerSlotOf(voice);
    if (index < 0) return;
    if (!(pan >= -1.0f)) pan = -1.0f;
    mixerSlot(index).pan.store(pan > 1.0f ? 1.0f : pan, std::memory_order_relaxed);
}

MV_API void mvVoiceSetPitch(MVVoice voice, float pitch) {
    engineThreadCheck(__func__);
    int index = mixerSlotOf(voice);
    if (index < 0) return;
    if (!(pitch >= 0.25f)) pitch = 0.25f;
    mixerSlot(index).pitch.store(pitch > 4.0f ? 4.0f : pitch, std::memory_order_relaxed);
}

MV_API bool mvVoicePlaying(MVVoice voice) {
    engineThreadCheck(__func__);
    int index = mixerSlotOf(voice);
    return index >= 0 && !mixerSlot(index).ownerStopped;
}

MV_API void mvSoundSetMasterVolume(float volume) {
    engineThreadCheck(__func__);
    mixerSetMasterVolume(volume);
}

MV_API void mvSoundBankUnload(void *sound) { mvSoundFree(static_cast<MVSound *>(sound)); }

}
