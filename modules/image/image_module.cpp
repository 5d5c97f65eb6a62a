// The "Image" module: PNG through libspng and JPEG through libjpeg-turbo,
// both bounded by the limits the core passes. The core also loads it by its
// first name, "STB-Image".
#include "modules/image/decode.h"

namespace {

uint8_t *decodeMemory(const void *data, size_t size, const MVPluginImageLimits *limits, int *w, int *h) {
    return imageDecode({static_cast<const uint8_t *>(data), size, nullptr}, *limits, w, h);
}

uint8_t *decodeFile(FILE *file, const MVPluginImageLimits *limits, int *w, int *h) {
    return imageDecode({nullptr, 0, file}, *limits, w, h);
}

const MVPluginImage image = {decodeMemory, decodeFile};
const MVPlugin plugin = {MV_PLUGIN_ABI, "Image", nullptr, nullptr, &image, imageDecodeError, nullptr, nullptr, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
