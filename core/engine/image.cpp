// Image files, decoded by the "STB-Image" module.
#include <morven/image.h>

#include <cstdlib>
#include <cstring>

#include "core/engine/engine_state.h"
#include "core/base/engine_thread.h"
#include "core/base/error.h"

extern "C" {

MV_API void *mvImageLoad(const char *path, void *data) {
    engineThreadCheck(__func__);
    (void)data;
    const MVPluginImage *codec = engineImagePlugin();
    if (!path) {
        setError("mvImageLoad: no path");
        return nullptr;
    }
    if (!codec) {
        setError("image %s not loaded: the \"STB-Image\" module is not loaded", path);
        return nullptr;
    }
    int w = 0, h = 0;
    uint8_t *decoded = codec->decode(path, &w, &h);
    if (!decoded) {
        setError("image %s not decoded: %s", path, engineModuleError(MODULE_STB_IMAGE));
        return nullptr;
    }
    // One block: the record, then its pixels, so that free releases both.
    size_t bytes = static_cast<size_t>(w) * h * 4;
    MVImage *image = w > 0 && h > 0 ? static_cast<MVImage *>(malloc(sizeof(MVImage) + bytes)) : nullptr;
    if (image) {
        image->w = w;
        image->h = h;
        image->pixels = reinterpret_cast<uint8_t *>(image + 1);
        memcpy(image->pixels, decoded, bytes);
    }
    codec->release(decoded);
    if (!image) setError("image %s not loaded: %s", path, w > 0 && h > 0 ? "out of memory" : "empty image");
    return image;
}

MV_API void mvImageFree(void *image) { free(image); }

}
