// The "STB-Image" module: image decoding and PNG encoding through stb.
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "core/engine/plugin.h"

namespace {

const char *lastFailure = "";

uint8_t *decode(const char *path, int *w, int *h) {
    int channels = 0;
    uint8_t *pixels = stbi_load(path, w, h, &channels, 4);
    if (!pixels) lastFailure = stbi_failure_reason() ? stbi_failure_reason() : "cannot decode";
    return pixels;
}

void release(uint8_t *pixels) { stbi_image_free(pixels); }

bool writePng(const char *path, const uint8_t *rgba, int w, int h) {
    if (stbi_write_png(path, w, h, 4, rgba, w * 4)) return true;
    lastFailure = "cannot write the file";
    return false;
}

const char *error() { return lastFailure; }

const MVPluginImage image = {decode, release, writePng};
const MVPlugin plugin = {MV_PLUGIN_ABI, "STB-Image", nullptr, nullptr, &image, error, nullptr, nullptr, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
