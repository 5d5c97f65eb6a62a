// The embedded software renderer: draws into an RGBA8 framebuffer in memory.
#ifndef MORVEN_CORE_RENDER_SOFT_RENDERER_H
#define MORVEN_CORE_RENDER_SOFT_RENDERER_H

#include <cstdint>

#include "core/render/renderer.h"

// The largest side of a frame or texture; a window is no larger either.
constexpr int kSoftMaxSide = 16384;
// Threads that draw sprites at most, however many the machine has.
constexpr unsigned kSoftMaxThreads = 8;

// A renderer with a cleared (opaque black) w x h framebuffer, or null when
// out of memory or the size is not positive. Release with its destroy member.
MVRenderer *softRendererCreate(int w, int h);

// The framebuffer of a renderer made by softRendererCreate: w * h RGBA
// pixels, top row first, holding every command run so far.
const uint8_t *softRendererPixels(const MVRenderer *renderer);

// How many threads may draw the renderer's sprites, the caller's included
// (1 to kSoftMaxThreads; at first as many as the machine runs at once, up
// to that). The
// pixels are the same whatever the number.
void softRendererSetThreads(MVRenderer *renderer, unsigned threads);

// The least pixels (of the sprites' bounding boxes on the frame) for which
// a batch of sprites is shared out among the threads; smaller batches stay
// on the caller's thread. Tests set 0 so that every batch is shared out.
void softRendererSetSharedPixels(MVRenderer *renderer, uint64_t pixels);

// How many candidate pixels the renderer has examined since it was made: the
// measure of its drawing cost, which clipping keeps within the pixels that
// each primitive covers on the frame.
uint64_t softRendererWork(const MVRenderer *renderer);

#endif
