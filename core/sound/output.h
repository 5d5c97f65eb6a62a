// Where the mixer's output goes: an audio device mixing on its own thread,
// or the null device that the engine's thread advances frame by frame; and
// the capture of either to a WAV file.
#ifndef MORVEN_CORE_SOUND_OUTPUT_H
#define MORVEN_CORE_SOUND_OUTPUT_H

// Starts an output. capturePath (may be null) names the WAV file that gets
// everything mixed; byDevice says a device's thread will call
// soundDeviceRender. False, with the reason in mvGetError, when the capture
// file cannot be made; the output runs all the same.
bool soundOutputStart(const char *capturePath, bool byDevice);

// True once a voice was started since the output started: the time to open
// a device that waits for its first sound.
bool soundOutputHeardFrom();

// The device did not open after all: the null device takes over, voices
// and capture as they are.
void soundOutputUseNullDevice();

// The device's callback: mixes frames stereo frames into out.
void soundDeviceRender(void *context, float *out, int frames);

// Once per frame on the engine's thread: refills music, advances the null
// device by kMixRate / framesPerSecond frames (the remainder carried), and
// writes what was captured since the last call.
void soundOutputFrame(int framesPerSecond);

// Ends the output after the device (if any) has stopped calling: writes the
// capture file and ends every voice. False, with the reason in mvGetError,
// when the capture file could not be written.
bool soundOutputStop();

// The decoders of open music streams go with the module that made them:
// closed here, the streams stay valid but play no more.
void soundDecodersGone();

#endif
