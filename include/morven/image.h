/* MORVEN: image files, decoded by the "Image" module (also loaded by its
 * first name, "STB-Image").
 *
 * Only PNG (through libspng) and JPEG (through libjpeg-turbo) are read; any
 * other format is refused, and the reason names it. Decoding is bounded:
 * an image larger than the limits (mvImageSetLimits) is refused before its
 * pixels are allocated, and a truncated or inconsistent file is refused,
 * never returned with made-up pixels. Peak memory is about one RGBA image
 * (w * h * 4 bytes) plus the decoder's working rows.
 *
 * mvImageLoad and mvImageFree fit a resource bank as its load and unload
 * callbacks.
 *
 * Threads: mvImageLoad, mvImageLoadMemory and mvImageSetLimits use the
 * engine's module and belong to the engine's thread (so does a bank that
 * loads with them); mvImageFree may run on any thread. */
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

/** The limits in force until mvImageSetLimits changes them. */
#define MV_IMAGE_DEFAULT_MAX_SIDE 16384
#define MV_IMAGE_DEFAULT_MAX_PIXELS (64 * 1024 * 1024)

/** Decodes the PNG or JPEG file at path to an MVImage* that the caller frees
 * with mvImageFree; data is unused. Only regular files are opened (a FIFO or
 * device is refused without blocking). Null when the file cannot be opened,
 * is not PNG or JPEG, is over the limits, is truncated or inconsistent, or
 * the "Image" module is not loaded; mvGetError then says which and why. */
MV_API void *mvImageLoad(const char *path, void *data);

/** Decodes a PNG or JPEG file held in memory (size bytes at data, which the
 * caller keeps) to an MVImage* that the caller frees with mvImageFree. Null
 * as for mvImageLoad, and for null data or size 0; mvGetError says why. */
MV_API void *mvImageLoadMemory(const void *data, size_t size);

/** Sets the largest image mvImageLoad and mvImageLoadMemory accept: at most
 * maxSide pixels wide and high and at most maxPixels pixels in all (by
 * default MV_IMAGE_DEFAULT_MAX_SIDE and MV_IMAGE_DEFAULT_MAX_PIXELS). An
 * image over either is refused before its pixels are allocated. False,
 * changing nothing, when either is below 1 or maxPixels * 4 bytes would not
 * fit in memory's address range; mvGetError says why. The limits hold for
 * the life of the process (mvDeinit keeps them). */
MV_API bool mvImageSetLimits(int maxSide, int64_t maxPixels);

/** Frees an image from mvImageLoad or mvImageLoadMemory. Null is ignored. */
MV_API void mvImageFree(void *image);

MV_EXTERN_C_END

#endif
