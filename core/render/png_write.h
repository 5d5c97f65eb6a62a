// The engine's one PNG writer (screenshots): filtered rows, deflate-
// compressed, written so that a failure leaves any previous file whole.
#ifndef MORVEN_CORE_RENDER_PNG_WRITE_H
#define MORVEN_CORE_RENDER_PNG_WRITE_H

#include <cstddef>
#include <cstdint>

#include "core/render/deflate.h"

// Appends w x h RGBA pixels (rows top first) to out as an RGBA PNG file.
// False when the size is not positive or too large for a PNG, or memory
// runs out.
bool pngEncode(const uint8_t *rgba, int w, int h, ByteBuffer *out);

// Writes w x h RGBA pixels to path as an RGBA PNG, replacing the file only
// when all of it was written (see replaceFile). False on any failure, with
// the reason in why (when given) and in mvGetError as "PNG <path> not
// written: <reason>".
bool pngWrite(const char *path, const uint8_t *rgba, int w, int h, char *why = nullptr, size_t whySize = 0);

#endif
