// A small PNG writer without compression (stored deflate blocks), so that
// screenshots work without any image module.
#ifndef MORVEN_CORE_RENDER_PNG_WRITE_H
#define MORVEN_CORE_RENDER_PNG_WRITE_H

#include <cstdint>

// Writes w x h RGBA pixels (rows top first) to path as an RGBA PNG.
// False when the file cannot be written or the size is not positive.
bool pngWrite(const char *path, const uint8_t *rgba, int w, int h);

#endif
