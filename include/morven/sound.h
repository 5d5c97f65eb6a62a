/* MORVEN: sound effects and music.
 *
 * A mixer in the engine core adds up to MV_SOUND_VOICES voices into one
 * stereo stream of 32-bit floats at MV_SOUND_RATE frames a second, scales it
 * by the master volume and bends it softly below full scale, so the output
 * never clips however many voices play at once.
 *
 * Sounds (MVSound) are whole sounds decoded into memory; each mvSoundPlay
 * starts a voice of one. Music (MVMusic) is decoded in small chunks while it
 * plays, so a long piece needs little memory.
 *
 * Files are decoded by the "Sound" module (mvLoadModule("Sound")): WAV,
 * FLAC, Ogg Vorbis and Ogg Opus, and what else libsndfile reads, resampled
 * to the mixer's rate. Without the module mvSoundLoad, mvSoundLoadMemory and
 * mvMusicOpen return null with the reason in mvGetError(); mvSoundFromSamples
 * works without it for samples at MV_SOUND_RATE.
 *
 * Output: with a window on a display and the "SDL" module loaded, the mixer
 * plays through the default audio device. Headless, during an input replay
 * (MORVEN_INPUT_SCRIPT), or when no device opens, it feeds a null device
 * that advances by MV_SOUND_RATE / frame rate frames on each mvLoop (the
 * remainder carried to the next), so a replay makes the same sound on every
 * run and machine. MORVEN_AUDIO_CAPTURE=file.wav writes everything the mixer
 * produced, as a 32-bit float stereo WAV file, when the window closes.
 *
 * A voice started during frame n of the null device starts at frame
 * n * MV_SOUND_RATE / frame rate of its output (rounded down); with a device
 * it starts at the next block the device asks for.
 *
 * Threads: every call belongs to the engine's thread (the one that called
 * mvInit or, in a program without mvInit, one thread of its choosing). The
 * device mixes on its own thread; the calls hand it their changes through
 * atomic fields of each voice and never wait for it: a change is heard from
 * the next block the device mixes. Memory a playing voice reads (a freed
 * sound, a closed music stream) is released on a later call of the engine's
 * thread, once the device has let go of it.
 *
 * Frees accept null. A stale MVVoice (its voice ended and the slot was
 * reused) is harmless: calls on it do nothing and mvVoicePlaying says
 * false. */
#ifndef MORVEN_SOUND_H
#define MORVEN_SOUND_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** The mixer's rate: frames per second of its output. */
#define MV_SOUND_RATE 48000

/** How many voices (sounds and music together) may play at once. */
#define MV_SOUND_VOICES 128

/** A sound decoded into memory: mono or stereo at MV_SOUND_RATE. */
typedef struct MVSound MVSound;

/** A music stream, decoded while it plays. */
typedef struct MVMusic MVMusic;

/** A playing voice: a slot number and a generation count; 0 is no voice. */
typedef uint32_t MVVoice;

/** Decodes the whole file at path. The caller owns the sound and frees it
 * with mvSoundFree. Null when the file is missing, truncated, corrupt, not
 * a sound file, has more than two channels, lasts more than ten minutes, or
 * the "Sound" module is not loaded; mvGetError names the file and why. */
MV_API MVSound *mvSoundLoad(const char *path);

/** Like mvSoundLoad, for a file's size bytes held in memory at data (read
 * during the call only). */
MV_API MVSound *mvSoundLoadMemory(const void *data, size_t size);

/** A sound from frames frames of channels (1 or 2) interleaved samples at
 * rate frames per second, copied. Samples are nominally within -1..1; every
 * one must be finite. A rate other than MV_SOUND_RATE needs the "Sound"
 * module, which resamples. Null on bad arguments, a rate without the module
 * or no memory, with the reason in mvGetError. */
MV_API MVSound *mvSoundFromSamples(const float *samples, int frames, int channels, int rate);

/** Frees a sound. Its voices stop with a short fade; its memory is released
 * once they are silent. */
MV_API void mvSoundFree(MVSound *sound);

/** The sound's length in frames at MV_SOUND_RATE, and its channels (1 or 2)
 * when channels is not null. 0 for null. */
MV_API int mvSoundFrames(const MVSound *sound, int *channels);

/** Starts a voice of sound at volume (0 silent, 1 as recorded; up to 8) and
 * pan (-1 left only, 0 centre, +1 right only; equal power: a mono sound at
 * the centre has 1/sqrt(2) in each channel, a stereo one keeps both channels
 * whole). loop repeats the sound without a gap until stopped. 0 when sound
 * is null or all voices are busy (mvGetError says which). */
MV_API MVVoice mvSoundPlay(MVSound *sound, float volume, float pan, bool loop);

/** Stops a voice with a fade of about 5 milliseconds. */
MV_API void mvVoiceStop(MVVoice voice);

/** Changes a voice's volume (0..8), gliding there over about 5 ms. */
MV_API void mvVoiceSetVolume(MVVoice voice, float volume);

/** Changes a voice's pan (-1..+1), gliding there over about 5 ms. */
MV_API void mvVoiceSetPan(MVVoice voice, float pan);

/** Changes a sound voice's playback rate: 2 plays twice as fast, an octave
 * higher; clamped to 0.25..4. Music keeps its rate. */
MV_API void mvVoiceSetPitch(MVVoice voice, float pitch);

/** True while the voice plays: false once it ended, was stopped, or for a
 * stale or zero handle. */
MV_API bool mvVoicePlaying(MVVoice voice);

/** Scales the mixer's whole output (0..8; 1 at start). */
MV_API void mvSoundSetMasterVolume(float volume);

/** mvSoundLoad for a resource bank's load callback (data is unused). */
MV_API void *mvSoundBankLoad(const char *path, void *data);

/** mvSoundFree for a resource bank's unload callback. */
MV_API void mvSoundBankUnload(void *sound);

/** Opens the file at path for streaming. The caller owns the music and
 * closes it with mvMusicClose. Null, with the file and the reason in
 * mvGetError, when it cannot be opened or decoded, or the "Sound" module is
 * not loaded. */
MV_API MVMusic *mvMusicOpen(const char *path);

/** Plays music from its start at volume (0..8), centred; loop starts it over
 * without a gap at its end. Playing music that plays already starts it over
 * (the old playback fades out). False, with the reason in mvGetError, when
 * music is null, all voices are busy or the file cannot be read again. */
MV_API bool mvMusicPlay(MVMusic *music, float volume, bool loop);

/** Stops the music with a short fade. */
MV_API void mvMusicStop(MVMusic *music);

/** The music's voice while it plays, for mvVoiceSetVolume and friends; 0
 * when it does not play. */
MV_API MVVoice mvMusicVoice(const MVMusic *music);

/** Stops and closes the music. */
MV_API void mvMusicClose(MVMusic *music);

MV_EXTERN_C_END

#endif
