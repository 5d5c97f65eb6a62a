// Image files, decoded by the "Image" module.
#include <morven/image.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/engine/engine_state.h"
#include "core/base/engine_thread.h"
#include "core/base/error.h"

namespace {

MVPluginImageLimits limits = {MV_IMAGE_DEFAULT_MAX_SIDE, MV_IMAGE_DEFAULT_MAX_PIXELS};

const MVPluginImage *imageModule(const char *what) {
    const MVPluginImage *codec = engineImagePlugin();
    if (!codec) setError("image %s not loaded: the \"Image\" module is not loaded", what);
    return codec;
}

// Wraps the decoder's pixels, which the image then owns, without copying them.
MVImage *adopt(uint8_t *decoded, int w, int h, const char *what) {
    if (!decoded) {
        setError("image %s not decoded: %s", what, engineModuleError(MODULE_IMAGE));
        return nullptr;
    }
    if (w <= 0 || h <= 0 || w > limits.maxSide || h > limits.maxSide ||
        static_cast<int64_t>(w) * h > limits.maxPixels) {
        free(decoded);
        setError("image %s not decoded: the module returned a %dx%d image", what, w, h);
        return nullptr;
    }
    MVImage *image = static_cast<MVImage *>(malloc(sizeof(MVImage)));
    if (!image) {
        free(decoded);
        setError("image %s not loaded: out of memory", what);
        return nullptr;
    }
    image->w = w;
    image->h = h;
    image->pixels = decoded;
    return image;
}

}  // namespace

extern "C" {

MV_API void *mvImageLoad(const char *path, void *data) {
    engineThreadCheck(__func__);
    (void)data;
    if (!path) {
        setError("mvImageLoad: no path");
        return nullptr;
    }
    const MVPluginImage *codec = imageModule(path);
    if (!codec) return nullptr;
    // Non-blocking, so that a FIFO or a device is looked at, not waited on.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setError("image %s not loaded: %s", path, strerror(errno));
        return nullptr;
    }
    struct stat st;
    const char *why = nullptr;
    if (fstat(fd, &st) != 0)
        why = strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = "it is a directory";
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    if (why) {
        setError("image %s not loaded: %s", path, why);
        close(fd);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    FILE *file = flags == -1 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1 ? nullptr : fdopen(fd, "rb");
    if (!file) {
        setError("image %s not loaded: %s", path, strerror(errno));
        close(fd);
        return nullptr;
    }
    int w = 0, h = 0;
    uint8_t *decoded = codec->decodeFile(file, &limits, &w, &h);
    fclose(file);
    return adopt(decoded, w, h, path);
}

MV_API void *mvImageLoadMemory(const void *data, size_t size) {
    engineThreadCheck(__func__);
    if (!data || size == 0) {
        setError("mvImageLoadMemory: no data");
        return nullptr;
    }
    const MVPluginImage *codec = imageModule("in memory");
    if (!codec) return nullptr;
    int w = 0, h = 0;
    uint8_t *decoded = codec->decodeMemory(data, size, &limits, &w, &h);
    return adopt(decoded, w, h, "in memory");
}

MV_API bool mvImageSetLimits(int maxSide, int64_t maxPixels) {
    engineThreadCheck(__func__);
    if (maxSide < 1 || maxPixels < 1) {
        setError("mvImageSetLimits: limits %d on a side and %lld pixels: both must be at least 1", maxSide,
                       static_cast<long long>(maxPixels));
        return false;
    }
    if (static_cast<uint64_t>(maxPixels) > SIZE_MAX / 4 || static_cast<uint64_t>(maxPixels) > INT64_MAX / 4) {
        setError("mvImageSetLimits: %lld pixels do not fit in memory", static_cast<long long>(maxPixels));
        return false;
    }
    limits = {maxSide, maxPixels};
    return true;
}

MV_API void mvImageFree(void *image) {
    if (!image) return;
    free(static_cast<MVImage *>(image)->pixels);
    free(image);
}

}
