// Bounded decoding of PNG and JPEG files for the "Image" module, shared by
// the module, the fuzz target and the benchmark.
#ifndef MORVEN_MODULES_IMAGE_DECODE_H
#define MORVEN_MODULES_IMAGE_DECODE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/engine/plugin.h"

// An encoded image: size bytes at data, or an open file read from its start.
struct ImageSource {
    const uint8_t *data;
    size_t size;
    FILE *file;
};

// Decodes a PNG or JPEG image to RGBA rows (top first) in a block from
// malloc; null with the reason in imageDecodeError() for any other format,
// an image over the limits, or a truncated or inconsistent file.
uint8_t *imageDecode(const ImageSource &source, const MVPluginImageLimits &limits, int *w, int *h);

// Why the last imageDecode failed; never null.
const char *imageDecodeError();

// For the two decoders: records the reason for a failure (printf format).
void imageFail(const char *format, ...) __attribute__((format(printf, 1, 2)));
// True when a w x h image is within the limits; otherwise records why.
bool imageWithinLimits(uint64_t w, uint64_t h, const MVPluginImageLimits &limits);

uint8_t *pngDecode(const ImageSource &source, const MVPluginImageLimits &limits, int *w, int *h);
uint8_t *jpegDecode(const ImageSource &source, const MVPluginImageLimits &limits, int *w, int *h);

#endif
