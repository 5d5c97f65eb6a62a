// Mixing voices into the output stream, and the slots that hand voices over
// from the engine's thread (see mixer.h).
#include "core/sound/mixer.h"

#include <cstring>

namespace {

// Frames mixed at a time into the stack accumulator.
constexpr int kChunk = 256;
constexpr uint64_t kUnitStep = uint64_t(1) << 32;  // position step of pitch 1 (32.32 fixed point)
constexpr uint32_t kGenerationLimit = uint32_t(1) << (32 - kVoiceIndexBits);
// Output above this bends softly towards full scale.
constexpr float kKnee = 0.8f;

VoiceSlot slots[kVoiceCount];
std::atomic<float> masterVolume{1.0f};
bool driven = false;
int nextSearch = 0;

// The mixing thread's own state of a voice.
struct VoicePlay {
    uint32_t gen;
    bool active;
    bool stopping;
    MVSound *sound;
    MusicRing *music;
    bool loop;
    uint64_t pos;   // frames into the sound, 32.32 fixed point
    uint64_t step;  // per output frame
    float seenVolume, seenPan, seenPitch;
    float gainL, gainR;      // now
    float targetL, targetR;  // at the end of the glide
    float stepL, stepR;      // per frame of the glide
    int glide;               // frames of glide left
};

VoicePlay plays[kVoiceCount];
struct MasterPlay {
    float seen = 1.0f, gain = 1.0f, step = 0.0f, target = 1.0f;
    int glide = 0;
} master;

// sin(x) for x in 0..pi/2 by its Taylor series in double precision (error
// below 1e-9), the same bits on every machine, unlike libm's sinf.
double panSine(double x) {
    double x2 = x * x;
    double sum = 1.0 / 6227020800.0;
    sum = sum * x2 - 1.0 / 39916800.0;
    sum = sum * x2 + 1.0 / 362880.0;
    sum = sum * x2 - 1.0 / 5040.0;
    sum = sum * x2 + 1.0 / 120.0;
    sum = sum * x2 - 1.0 / 6.0;
    sum = sum * x2 + 1.0;
    return sum * x;
}

// Not-a-number counts as the low end.
float clampFloat(float v, float lo, float hi) { return !(v >= lo) ? lo : v > hi ? hi : v; }

// Equal-power channel gains for volume and pan. A stereo source keeps each
// channel whole at the centre and loses one towards the other side.
void panGains(float volume, float pan, int channels, float *left, float *right) {
    const double quarterPi = 0.78539816339744830962;
    double p = clampFloat(pan, -1.0f, 1.0f);
    double l = panSine((1.0 - p) * quarterPi), r = panSine((1.0 + p) * quarterPi);
    if (channels == 2) {
        const double sqrt2 = 1.41421356237309504880;
        l = l * sqrt2 > 1.0 ? 1.0 : l * sqrt2;
        r = r * sqrt2 > 1.0 ? 1.0 : r * sqrt2;
    }
    *left = static_cast<float>(volume * l);
    *right = static_cast<float>(volume * r);
}

uint64_t pitchStep(float pitch) {
    return static_cast<uint64_t>(static_cast<double>(clampFloat(pitch, 0.25f, 4.0f)) * 4294967296.0);
}

int channelsOf(const VoicePlay &v) { return v.sound ? v.sound->channels : 2; }

void glideTo(VoicePlay &v, float left, float right) {
    v.targetL = left;
    v.targetR = right;
    v.stepL = (left - v.gainL) / kGlideFrames;
    v.stepR = (right - v.gainR) / kGlideFrames;
    v.glide = kGlideFrames;
}

void endVoice(int index) {
    VoicePlay &v = plays[index];
    v.active = false;
    v.sound = nullptr;
    v.music = nullptr;
    slots[index].doneGen.store(v.gen, std::memory_order_release);
}

// Takes up what the engine's thread published for the slot since the last block.
void pollSlot(int index) {
    VoiceSlot &slot = slots[index];
    VoicePlay &v = plays[index];
    uint32_t start = slot.startGen.load(std::memory_order_acquire);
    if (start != v.gen) {
        v = VoicePlay{};
        v.gen = start;
        v.active = true;
        v.sound = slot.sound;
        v.music = slot.music;
        v.loop = slot.loop;
        v.seenVolume = slot.volume.load(std::memory_order_relaxed);
        v.seenPan = slot.pan.load(std::memory_order_relaxed);
        v.seenPitch = slot.pitch.load(std::memory_order_relaxed);
        v.step = v.music ? kUnitStep : pitchStep(v.seenPitch);
        panGains(v.seenVolume, v.seenPan, channelsOf(v), &v.gainL, &v.gainR);
        v.targetL = v.gainL;
        v.targetR = v.gainR;
    }
    if (!v.active || v.stopping) return;
    if (slot.stopGen.load(std::memory_order_acquire) == v.gen) {
        v.stopping = true;
        glideTo(v, 0.0f, 0.0f);
        return;
    }
    float volume = slot.volume.load(std::memory_order_relaxed);
    float pan = slot.pan.load(std::memory_order_relaxed);
    if (volume != v.seenVolume || pan != v.seenPan) {
        v.seenVolume = volume;
        v.seenPan = pan;
        float left, right;
        panGains(volume, pan, channelsOf(v), &left, &right);
        glideTo(v, left, right);
    }
    float pitch = slot.pitch.load(std::memory_order_relaxed);
    if (pitch != v.seenPitch && !v.music) {
        v.seenPitch = pitch;
        v.step = pitchStep(pitch);
    }
}

// Adds n frames of src (mono or stereo) times the voice's gains to dst.
void addScaled(VoicePlay &v, const float *src, int channels, int n, float *dst) {
    int i = 0;
    if (v.glide > 0) {
        int g = n < v.glide ? n : v.glide;
        for (; i < g; i++) {
            v.gainL += v.stepL;
            v.gainR += v.stepR;
            float l = channels == 2 ? src[2 * i] : src[i];
            float r = channels == 2 ? src[2 * i + 1] : src[i];
            dst[2 * i] += l * v.gainL;
            dst[2 * i + 1] += r * v.gainR;
        }
        v.glide -= g;
        if (v.glide == 0) {
            v.gainL = v.targetL;
            v.gainR = v.targetR;
        }
    }
    const float gl = v.gainL, gr = v.gainR;
    if (channels == 2) {
        for (; i < n; i++) {
            dst[2 * i] += src[2 * i] * gl;
            dst[2 * i + 1] += src[2 * i + 1] * gr;
        }
    } else {
        for (; i < n; i++) {
            dst[2 * i] += src[i] * gl;
            dst[2 * i + 1] += src[i] * gr;
        }
    }
}

// The sound's next frames at the voice's rate: a pointer into the sound
// itself at pitch 1 on whole frames, otherwise interpolated into scratch.
// Returns how many frames (0: the sound is over).
int soundFrames(VoicePlay &v, int want, float *scratch, const float **out) {
    const MVSound *s = v.sound;
    const uint64_t length = static_cast<uint64_t>(s->frames) << 32;
    if (v.pos >= length) {
        if (!v.loop) return 0;
        v.pos %= length;
    }
    const int channels = s->channels;
    const uint64_t index = v.pos >> 32;
    if (v.step == kUnitStep && (v.pos & 0xffffffffu) == 0) {
        uint64_t left = static_cast<uint64_t>(s->frames) - index;
        int n = left < static_cast<uint64_t>(want) ? static_cast<int>(left) : want;
        *out = s->samples + index * channels;
        v.pos += static_cast<uint64_t>(n) << 32;
        return n;
    }
    // Frames whose position still lies inside the sound.
    uint64_t inside = (length - v.pos + v.step - 1) / v.step;
    int n = inside < static_cast<uint64_t>(want) ? static_cast<int>(inside) : want;
    const float *data = s->samples;
    const uint64_t last = static_cast<uint64_t>(s->frames) - 1;
    for (int i = 0; i < n; i++) {
        uint64_t at = v.pos >> 32;
        float frac = static_cast<float>(static_cast<double>(v.pos & 0xffffffffu) * (1.0 / 4294967296.0));
        uint64_t next = at < last ? at + 1 : v.loop ? 0 : last;
        for (int c = 0; c < channels; c++) {
            float a = data[at * channels + c], b = data[next * channels + c];
            scratch[i * channels + c] = a + (b - a) * frac;
        }
        v.pos += v.step;
    }
    *out = scratch;
    return n;
}

// The music ring's next frames in one piece; 0 when none are ready.
int musicFrames(VoicePlay &v, int want, const float **out) {
    MusicRing *ring = v.music;
    uint32_t read = ring->read.load(std::memory_order_relaxed);
    uint32_t ready = ring->written.load(std::memory_order_acquire) - read;
    uint32_t at = read & (ring->capacity - 1);
    uint32_t n = ready < static_cast<uint32_t>(want) ? ready : static_cast<uint32_t>(want);
    if (n > ring->capacity - at) n = ring->capacity - at;
    *out = ring->frames + 2 * static_cast<size_t>(at);
    return static_cast<int>(n);
}

void mixVoice(int index, float *acc, int frames) {
    VoicePlay &v = plays[index];
    float scratch[kChunk * 2];
    int done = 0;
    while (done < frames) {
        const float *src = nullptr;
        int n;
        if (v.music) {
            n = musicFrames(v, frames - done, &src);
            if (n == 0) {
                // Out of decoded frames: over when the stream ended, else a gap.
                if (v.music->ended.load(std::memory_order_acquire) &&
                    v.music->read.load(std::memory_order_relaxed) ==
                        v.music->written.load(std::memory_order_acquire))
                    endVoice(index);
                return;
            }
        } else {
            n = soundFrames(v, frames - done, scratch, &src);
            if (n == 0) {
                endVoice(index);
                return;
            }
        }
        addScaled(v, src, channelsOf(v), n, acc + 2 * done);
        if (v.music) v.music->read.fetch_add(static_cast<uint32_t>(n), std::memory_order_release);
        done += n;
        if (v.stopping && v.glide == 0) {
            endVoice(index);
            return;
        }
    }
}

// Bends |x| above the knee towards 1 without ever reaching past it:
// knee + (1 - knee) * u / (1 + u), slope 1 at the knee.
float limit(float x) {
    if (!(x == x)) return 0.0f;
    float a = x < 0.0f ? -x : x;
    if (a <= kKnee) return x;
    float u = (a - kKnee) / (1.0f - kKnee);
    float y = kKnee + (1.0f - kKnee) * (1.0f - 1.0f / (1.0f + u));
    if (y > 1.0f) y = 1.0f;
    return x < 0.0f ? -y : y;
}

void finishChunk(const float *acc, float *out, int frames) {
    MasterPlay &m = master;
    for (int i = 0; i < frames; i++) {
        if (m.glide > 0) {
            m.gain += m.step;
            if (--m.glide == 0) m.gain = m.target;
        }
        out[2 * i] = limit(acc[2 * i] * m.gain);
        out[2 * i + 1] = limit(acc[2 * i + 1] * m.gain);
    }
}

}  // namespace

VoiceSlot &mixerSlot(int index) { return slots[index]; }

int mixerFindFreeSlot() {
    for (int k = 0; k < kVoiceCount; k++) {
        int i = (nextSearch + k) % kVoiceCount;
        if (!mixerSlotBusy(i)) {
            nextSearch = (i + 1) % kVoiceCount;
            return i;
        }
    }
    return -1;
}

bool mixerSlotBusy(int index) {
    const VoiceSlot &s = slots[index];
    return s.ownerGen != s.doneGen.load(std::memory_order_acquire);
}

MVVoice mixerStart(int index, MVSound *sound, MusicRing *music, float volume, float pan, bool loop) {
    VoiceSlot &s = slots[index];
    uint32_t gen = s.ownerGen + 1;
    if (gen >= kGenerationLimit) gen = 1;
    s.sound = sound;
    s.music = music;
    s.loop = loop;
    s.volume.store(clampFloat(volume, 0.0f, 8.0f), std::memory_order_relaxed);
    s.pan.store(clampFloat(pan, -1.0f, 1.0f), std::memory_order_relaxed);
    s.pitch.store(1.0f, std::memory_order_relaxed);
    s.stopGen.store(0, std::memory_order_relaxed);
    s.ownerGen = gen;
    s.ownerStopped = false;
    s.startGen.store(gen, std::memory_order_release);
    return (gen << kVoiceIndexBits) | static_cast<uint32_t>(index);
}

int mixerSlotOf(MVVoice voice) {
    uint32_t gen = voice >> kVoiceIndexBits;
    int index = static_cast<int>(voice & (kVoiceCount - 1));
    if (gen == 0 || slots[index].ownerGen != gen || !mixerSlotBusy(index)) return -1;
    return index;
}

void mixerRender(float *out, int frames) {
    float target = masterVolume.load(std::memory_order_relaxed);
    if (target != master.seen) {
        master.seen = target;
        master.target = target;
        master.step = (target - master.gain) / kGlideFrames;
        master.glide = kGlideFrames;
    }
    for (int i = 0; i < kVoiceCount; i++) pollSlot(i);
    float acc[kChunk * 2];
    while (frames > 0) {
        int n = frames < kChunk ? frames : kChunk;
        memset(acc, 0, sizeof(float) * 2 * n);
        for (int i = 0; i < kVoiceCount; i++)
            if (plays[i].active) mixVoice(i, acc, n);
        finishChunk(acc, out, n);
        out += 2 * n;
        frames -= n;
    }
}

void mixerEndVoice(int index) {
    VoiceSlot &s = slots[index];
    plays[index] = VoicePlay{};
    plays[index].gen = s.startGen.load(std::memory_order_relaxed);
    s.doneGen.store(s.ownerGen, std::memory_order_release);
}

void mixerEndAllVoices() {
    for (int i = 0; i < kVoiceCount; i++) mixerEndVoice(i);
}

void mixerSetDriven(bool on) { driven = on; }
bool mixerDriven() { return driven; }

void mixerSetMasterVolume(float volume) {
    masterVolume.store(clampFloat(volume, 0.0f, 8.0f), std::memory_order_relaxed);
}
