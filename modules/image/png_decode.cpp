// PNG through libspng: the header's size is checked against the limits
// before any pixel is allocated, and the file must run to its end chunk.
#include <spng.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "modules/image/decode.h"

namespace {

// Ancillary chunks (text, ICC profiles, ...) are bounded too: 16 MB each,
// 64 MB in all.
constexpr size_t kChunkLimit = size_t(16) << 20;
constexpr size_t kChunkCache = size_t(64) << 20;

}  // namespace

uint8_t *pngDecode(const ImageSource &source, const MVPluginImageLimits &limits, int *w, int *h) {
    spng_ctx *ctx = spng_ctx_new(0);
    if (!ctx) {
        imageFail("PNG: out of memory");
        return nullptr;
    }
    uint8_t *pixels = nullptr;
    size_t bytes = 0;
    struct spng_ihdr ihdr;
    int r = spng_set_chunk_limits(ctx, kChunkLimit, kChunkCache);
    if (!r) r = source.file ? spng_set_png_file(ctx, source.file) : spng_set_png_buffer(ctx, source.data, source.size);
    if (!r) r = spng_get_ihdr(ctx, &ihdr);
    if (!r && !imageWithinLimits(ihdr.width, ihdr.height, limits)) {
        spng_ctx_free(ctx);
        return nullptr;
    }
    if (!r) r = spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &bytes);
    if (!r && !(pixels = static_cast<uint8_t *>(malloc(bytes)))) r = SPNG_EMEM;
    if (!r) r = spng_decode_image(ctx, pixels, bytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
    // The chunks after the image, to IEND: a file cut short is refused.
    if (!r) r = spng_decode_chunks(ctx);
    spng_ctx_free(ctx);
    if (r) {
        free(pixels);
        if (r == SPNG_IO_EOF)
            imageFail("PNG: the file is truncated");
        else if (r == SPNG_IO_ERROR && source.file && ferror(source.file))
            imageFail("PNG: the file cannot be read: %s", strerror(errno));
        else
            imageFail("PNG: %s", spng_strerror(r));
        return nullptr;
    }
    *w = static_cast<int>(ihdr.width);
    *h = static_cast<int>(ihdr.height);
    return pixels;
}
