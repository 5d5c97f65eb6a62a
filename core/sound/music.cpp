// Music streams: a decoder read in chunks on the engine's thread into a
// ring that the mixing thread plays from.
#include <morven/sound.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/base/engine_thread.h"
#include "core/base/error.h"
#include "core/sound/mixer.h"
#include "core/sound/output.h"

struct MVMusic {
    MusicDecoder decoder;
    char *path;
    MusicRing *ring;  // of the current playback; null when stopped
    int slot;
    MVVoice voice;
    bool loop;
    bool failed;      // a read failed; reported once
    float *scratch;   // one read's frames in the decoder's channels
    MVMusic *next;    // in the list of open streams
};

namespace {

// About a third of a second: the engine's thread refills on every frame.
constexpr uint32_t kRingFrames = 16384;
constexpr int kReadFrames = 2048;

MVMusic *openMusic = nullptr;

// Stopped playbacks' rings, released once their voices have ended.
MusicRing *retired = nullptr;

void releaseRing(MusicRing *ring) {
    if (!ring) return;
    free(ring->frames);
    delete ring;
}

// Stops the current playback; its ring goes when its voice has faded.
void stopPlayback(MVMusic *m) {
    if (!m->ring) return;
    int index = mixerSlotOf(m->voice);
    if (index < 0) {
        releaseRing(m->ring);
    } else {
        VoiceSlot &slot = mixerSlot(index);
        slot.ownerStopped = true;
        slot.stopGen.store(slot.ownerGen, std::memory_order_release);
        if (!mixerDriven()) mixerEndVoice(index);
        m->ring->retiredSlot = index;
        m->ring->retiredGen = slot.ownerGen;
        m->ring->nextRetired = retired;
        retired = m->ring;
    }
    m->ring = nullptr;
    m->voice = 0;
    musicCollect();
}

// Fills the ring as far as it has room.
void refill(MVMusic *m) {
    MusicRing *ring = m->ring;
    if (!ring || ring->ended.load(std::memory_order_relaxed)) return;
    uint32_t written = ring->written.load(std::memory_order_relaxed);
    for (;;) {
        uint32_t room = ring->capacity - (written - ring->read.load(std::memory_order_acquire));
        uint32_t at = written & (ring->capacity - 1);
        uint32_t n = room < ring->capacity - at ? room : ring->capacity - at;
        if (n > kReadFrames) n = kReadFrames;
        if (n == 0) return;
        int got = m->decoder.read(m->decoder.stream, m->scratch, static_cast<int>(n), m->loop);
        if (got <= 0) {
            if (got < 0 && !m->failed) {
                m->failed = true;
                fprintf(stderr, "MORVEN: music %s: %s; stopped\n", m->path, m->decoder.error());
            }
            ring->ended.store(true, std::memory_order_release);
            return;
        }
        float *dst = ring->frames + 2 * static_cast<size_t>(at);
        if (m->decoder.channels == 2) {
            memcpy(dst, m->scratch, sizeof(float) * 2 * static_cast<size_t>(got));
        } else {
            for (int i = 0; i < got; i++) dst[2 * i] = dst[2 * i + 1] = m->scratch[i];
        }
        written += static_cast<uint32_t>(got);
        ring->written.store(written, std::memory_order_release);
    }
}

}  // namespace

MVMusic *musicCreate(const MusicDecoder &decoder, const char *path) {
    MVMusic *m = static_cast<MVMusic *>(calloc(1, sizeof(MVMusic)));
    size_t n = strlen(path) + 1;
    char *copy = static_cast<char *>(malloc(n));
    float *scratch = static_cast<float *>(malloc(sizeof(float) * 2 * kReadFrames));
    if (!m || !copy || !scratch) {
        free(m);
        free(copy);
        free(scratch);
        decoder.close(decoder.stream);
        setError("music %s not opened: out of memory", path);
        return nullptr;
    }
    memcpy(copy, path, n);
    m->decoder = decoder;
    m->path = copy;
    m->scratch = scratch;
    m->next = openMusic;
    openMusic = m;
    return m;
}

void musicCollect() {
    MusicRing **link = &retired;
    while (MusicRing *r = *link) {
        if (mixerSlot(r->retiredSlot).ownerGen == r->retiredGen && mixerSlotBusy(r->retiredSlot)) {
            link = &r->nextRetired;
        } else {
            *link = r->nextRetired;
            releaseRing(r);
        }
    }
}

void soundDecodersGone() {
    for (MVMusic *m = openMusic; m; m = m->next) {
        stopPlayback(m);
        if (m->decoder.stream) m->decoder.close(m->decoder.stream);
        m->decoder.stream = nullptr;
    }
}

void musicRefillAll() {
    for (MVMusic *m = openMusic; m; m = m->next) refill(m);
}

extern "C" {

MV_API bool mvMusicPlay(MVMusic *music, float volume, bool loop) {
    engineThreadCheck(__func__);
    if (!music) {
        setError("mvMusicPlay: no music");
        return false;
    }
    stopPlayback(music);
    if (!music->decoder.stream) {
        setError("music %s not played: the \"Sound\" module was unloaded", music->path);
        return false;
    }
    if (!music->decoder.rewind(music->decoder.stream)) {
        setError("music %s not played: %s", music->path, music->decoder.error());
        return false;
    }
    int index = mixerFindFreeSlot();
    if (index < 0) {
        setError("music %s not played: all %d voices are playing", music->path, kVoiceCount);
        return false;
    }
    MusicRing *ring = new (std::nothrow) MusicRing();
    float *frames = static_cast<float *>(malloc(sizeof(float) * 2 * kRingFrames));
    if (!ring || !frames) {
        delete ring;
        free(frames);
        setError("music %s not played: out of memory", music->path);
        return false;
    }
    ring->frames = frames;
    ring->capacity = kRingFrames;
    music->ring = ring;
    music->loop = loop;
    music->failed = false;
    refill(music);
    music->slot = index;
    music->voice = mixerStart(index, nullptr, ring, volume, 0.0f, false);
    return true;
}

MV_API void mvMusicStop(MVMusic *music) {
    engineThreadCheck(__func__);
    if (music) stopPlayback(music);
}

MV_API MVVoice mvMusicVoice(const MVMusic *music) {
    engineThreadCheck(__func__);
    return music && mixerSlotOf(music->voice) >= 0 ? music->voice : 0;
}

MV_API void mvMusicClose(MVMusic *music) {
    engineThreadCheck(__func__);
    if (!music) return;
    stopPlayback(music);
    for (MVMusic **link = &openMusic; *link; link = &(*link)->next)
        if (*link == music) {
            *link = music->next;
            break;
        }
    if (music->decoder.stream) music->decoder.close(music->decoder.stream);
    free(music->scratch);
    free(music->path);
    free(music);
}

}
