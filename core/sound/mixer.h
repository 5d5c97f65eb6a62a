// The mixer: voice slots shared between the engine's thread, which starts,
// stops and changes voices, and the thread that mixes (the audio device's,
// or the engine's own for the null device).
//
// Hand-over without locks: the engine's thread fills a free slot's source
// fields, then publishes the voice's generation in startGen (release); the
// mixing thread picks it up at the start of its next block (acquire).
// Volume, pan and pitch are atomics read once per block; a stop is the
// generation written to stopGen. When a voice has ended the mixing thread
// writes its generation to doneGen (release) and never touches its source
// again, so the engine's thread may then reuse the slot and free what the
// voice played.
#ifndef MORVEN_CORE_SOUND_MIXER_H
#define MORVEN_CORE_SOUND_MIXER_H

#include <morven/sound.h>

#include <atomic>
#include <cstdint>

constexpr int kMixRate = MV_SOUND_RATE;
constexpr int kVoiceCount = MV_SOUND_VOICES;
constexpr int kVoiceIndexBits = 7;
static_assert((1 << kVoiceIndexBits) == kVoiceCount, "a handle's index bits cover the voices");
// Frames over which volume and pan changes glide, and a stopped voice fades.
constexpr int kGlideFrames = 240;

struct MVSound {
    float *samples;  // frames * channels, interleaved
    int frames;
    int channels;    // 1 or 2
    bool freed;      // mvSoundFree was called; released once no voice plays it
    MVSound *nextFreed;
};

// Decoded music on its way from the engine's thread to the mixing thread:
// a ring of stereo frames with one writer and one reader.
struct MusicRing {
    float *frames;                  // capacity * 2 floats
    uint32_t capacity;              // a power of two
    std::atomic<uint32_t> written;  // frames written so far (engine's thread)
    std::atomic<uint32_t> read;     // frames read so far (mixing thread)
    std::atomic<bool> ended;        // no more frames will be written
    // The engine's thread's: a stopped playback waits for its voice to end.
    int retiredSlot;
    uint32_t retiredGen;
    MusicRing *nextRetired;
};

struct VoiceSlot {
    // Set by the engine's thread before startGen publishes them.
    MVSound *sound;     // a sound's voice, or
    MusicRing *music;   // a music stream's
    bool loop;
    std::atomic<uint32_t> startGen;
    std::atomic<uint32_t> stopGen;
    std::atomic<uint32_t> doneGen;
    std::atomic<float> volume, pan, pitch;
    // The engine's thread's own view.
    uint32_t ownerGen;  // the last generation started here
    bool ownerStopped;  // mvVoiceStop was called for it
};

// The engine's side of the slots.
VoiceSlot &mixerSlot(int index);
// A free slot (its last voice has ended) or -1.
int mixerFindFreeSlot();
// Starts a voice in a free slot; returns its handle.
MVVoice mixerStart(int index, MVSound *sound, MusicRing *music, float volume, float pan, bool loop);
// The slot of a live handle (started here, not yet ended), or -1.
int mixerSlotOf(MVVoice voice);
// True while the slot's last voice has not ended on the mixing thread.
bool mixerSlotBusy(int index);

// Mixes frames stereo frames into out (interleaved). Called by one thread
// at a time: the device's, or the engine's for the null device.
void mixerRender(float *out, int frames);

// With no thread mixing, the engine's thread acts as the mixing thread:
// every voice ends at once. Used when the engine stops.
void mixerEndAllVoices();
void mixerEndVoice(int index);

// The master volume, read by the mixing thread at its next block.
void mixerSetMasterVolume(float volume);

// Whether something mixes (an engine run); when not, freeing a playing
// sound ends its voices at once instead of waiting for their fade.
void mixerSetDriven(bool driven);
bool mixerDriven();

// Releases sounds and music rings whose voices have all ended.
void soundCollect();
void musicCollect();

// Music streams: refills every playing stream's ring (the engine's thread,
// before each null-device block and on every mvLoop with a device).
void musicRefillAll();

// Wrapping a decoder in a music stream.
struct MusicDecoder {
    void *stream;
    // Up to frames frames of the stream's channels at kMixRate; with loop,
    // the start follows the end without a gap. 0 at the end, -1 on error.
    int (*read)(void *stream, float *out, int frames, bool loop);
    bool (*rewind)(void *stream);
    void (*close)(void *stream);
    const char *(*error)();
    int channels;
};
// Takes the decoder (closed on failure too); path names it in messages.
MVMusic *musicCreate(const MusicDecoder &decoder, const char *path);

// A sound that takes over samples (malloc'd; frames * channels floats).
MVSound *soundAdopt(float *samples, int frames, int channels);

#endif
