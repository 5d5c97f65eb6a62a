// The size of the frame the drawing calls reach, so that calls which make
// many vertices (text) can leave out what lies wholly outside it.
#ifndef MORVEN_CORE_RENDER_FRAME_SIZE_H
#define MORVEN_CORE_RENDER_FRAME_SIZE_H

// Set by whoever installs a renderer for a frame of w x h pixels; 0 x 0 (the
// default) means unknown, and nothing is left out.
void drawSetFrameSize(int w, int h);

// The size last set; false when it is unknown.
bool drawFrameSize(int *w, int *h);

#endif
