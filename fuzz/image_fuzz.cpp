// Fuzzes mvImageLoadMemory with the "Image" module's decoding linked in:
// every input gives null with a reason, or an image within the limits whose
// every pixel can be read.
#include <morven/error.h>
#include <morven/image.h>

#include <dlfcn.h>

#include <cstdint>

#include "core/engine/engine_state.h"
#include "fuzz_check.h"

extern "C" const MVPlugin *mvPluginEntry();

namespace {

// Small limits keep each run fast; the bounds code is the same at any size.
constexpr int kSide = 2048;
constexpr int64_t kPixels = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The module's record, as mvLoadModule would install it from the file.
    engineState().modules[MODULE_IMAGE] = {dlopen(nullptr, RTLD_NOW), mvPluginEntry()};
    FUZZ_CHECK(mvImageSetLimits(kSide, kPixels));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    mvClearError();
    MVImage *image = static_cast<MVImage *>(mvImageLoadMemory(data, size));
    if (!image) {
        FUZZ_CHECK(*mvGetError() != '\0');
        return 0;
    }
    FUZZ_CHECK(image->w > 0 && image->h > 0 && image->w <= kSide && image->h <= kSide);
    FUZZ_CHECK(int64_t(image->w) * image->h <= kPixels);
    // Every byte is read, so that the sanitizers see a buffer shorter than w x h.
    volatile uint8_t sink = 0;
    for (size_t i = 0, n = size_t(image->w) * image->h * 4; i < n; i++) sink = sink ^ image->pixels[i];
    mvImageFree(image);
    return 0;
}
