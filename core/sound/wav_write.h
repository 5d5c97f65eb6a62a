// Writing 32-bit float stereo WAV files at the mixer's rate, frames added as
// they come. The file appears under its name only when complete: it is
// written beside it under a temporary name and renamed at the end, so a
// failed write leaves an older file of that name as it was.
#ifndef MORVEN_CORE_SOUND_WAV_WRITE_H
#define MORVEN_CORE_SOUND_WAV_WRITE_H

#include <cstddef>

struct WavWriter;

// Null, with the reason in mvGetError, when the file cannot be made.
WavWriter *wavOpen(const char *path);
// Appends frames stereo frames; false once anything failed.
bool wavWrite(WavWriter *wav, const float *frames, size_t count);
// Completes the file and renames it into place; false, with the reason in
// mvGetError, when anything failed (nothing is left under either name).
bool wavClose(WavWriter *wav);

#endif
