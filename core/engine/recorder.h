// Recording a live session's input as an input script (MORVEN_INPUT_RECORD),
// with each frame's measured length, so that replaying it gives the same
// frames and timer firings.
#ifndef MORVEN_CORE_ENGINE_RECORDER_H
#define MORVEN_CORE_ENGINE_RECORDER_H

#include <cstdint>

#include "core/engine/plugin.h"

struct Recorder;

// Starts a recording for path. The lines go to a new file beside it
// (path.XXXXXX) that becomes path at recorderFinish, so a failed recording
// leaves an older file of that name as it was. Null, with the reason in
// mvGetError, when that file cannot be made or memory runs out.
Recorder *recorderStart(const char *path);

// Writes one event of frame; events the format cannot hold (text with
// control characters, keys without a name) are left out.
void recorderEvent(Recorder *recorder, uint64_t frame, const MVPlatformEvent &event);

// Writes a line without arguments: "close" or "quit".
void recorderWord(Recorder *recorder, uint64_t frame, const char *word);

// Writes the frame's length and hands the file its lines so far, so that
// after a crash the file beside path holds every finished frame.
void recorderFrameTime(Recorder *recorder, uint64_t frame, uint64_t ns);

// Closes the file and puts it in place of path; releases the recorder. False
// when a write failed now or earlier: then path is left as it was, the
// reason is in mvGetError and was written once to standard error.
bool recorderFinish(Recorder *recorder);

#endif
