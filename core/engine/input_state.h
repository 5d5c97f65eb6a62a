// The keyboard and mouse state behind <morven/input.h>. The main loop starts
// each frame with inputBeginFrame, then hands over the frame's events (from
// the platform and from a replay) one by one.
#ifndef MORVEN_CORE_ENGINE_INPUT_STATE_H
#define MORVEN_CORE_ENGINE_INPUT_STATE_H

#include "core/engine/plugin.h"

// Every key and button up, the pointer at (0, 0), nothing typed.
void inputReset();

// Forgets the previous frame's edges, wheel movement and text.
void inputBeginFrame();

// Pointer positions from events are window pixels; the input state keeps
// (x - left) * scaleX, (y - top) * scaleY, the frame's pixels.
void inputMapPointer(float left, float top, float scaleX, float scaleY);

// Applies one event. True when it asks the loop to end: Escape went down.
bool inputApply(const MVPlatformEvent &event);

// The same, in the shape of a platform event sink; context points to a bool
// that becomes true when an event asks the loop to end.
void inputSink(void *context, const MVPlatformEvent *event);

#endif
