// Replayed input: a script of keyboard, mouse and text events, each bound to
// the mvLoop call (frame) at whose start it applies. The format is described
// in <morven/input.h>.
#ifndef MORVEN_CORE_ENGINE_REPLAY_H
#define MORVEN_CORE_ENGINE_REPLAY_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct Replay;

// Parses a script of length bytes. Each malformed line is skipped with one
// warning on warnings naming `name` and the line number. Null when out of memory.
Replay *replayParse(const char *script, size_t length, const char *name, FILE *warnings);

// Reads and parses the file at path (warnings on stderr). Null, with the
// reason in mvGetError, when it cannot be read or memory runs out.
Replay *replayLoad(const char *path);

void replayFree(Replay *replay);

// What a frame's script lines asked of the loop beside input.
struct ReplayFrame {
    bool quit;         // a "quit" line
    bool escape;       // Escape went down
    bool close;        // a "close" line: the window's close button
    bool timed;        // a "frametime" line gave the frame's length...
    uint64_t frameNs;  // ... in nanoseconds
};

// Hands the events of this frame to the input state, in script order
// (resizes to engineReplayedResize), and fills out with the rest. Frames must not go backwards between calls.
void replayApply(Replay *replay, uint64_t frame, ReplayFrame *out);

// Number of events held (for tests).
size_t replayEventCount(const Replay *replay);

#endif
