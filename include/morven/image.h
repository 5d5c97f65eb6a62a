/* MORVEN: image files, decoded by the "STB-Image" module.
 *
 * mvImageLoad and mvImageFree fit a resource bank as its load and unload
 * callbacks.
 *
 * Threads: mvImageLoad uses the engine's module and belongs to the engine's
 * thread (so does a bank that loads with it); mvImageFree may run on any
 * thread. */
#ifndef MORVEN_IMAGE_H
#define MORVEN_IMAGE_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** A decoded image: w x h pixels as rows of RGBA bytes, top row first. */
typedef struct MVImage {
    int w;
    int h;
    uint8_t *pixels;
} MVImage;

/** Decodes the image file at path (PNG, JPEG, BMP, TGA, ...) to an MVImage*
 * that the caller frees with mvImageFree; data is unused. Null when the file
 * cannot be read or decoded, or the "STB-Image" module is not loaded;
 * mvGetError then says which and why. */
MV_API void *mvImageLoad(const char *path, void *data);

/** Frees an image from mvImageLoad. Null is ignored. */
MV_API void mvImageFree(void *image);

MV_EXTERN_C_END

#endif
