// Tells PNG and JPEG from the formats the module refuses, by their first bytes.
#include "modules/image/decode.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace {

char failure[256];

bool startsWith(const uint8_t *head, size_t n, const char *magic, size_t length) {
    return n >= length && memcmp(head, magic, length) == 0;
}

// The name of a format recognised but not read, or null.
const char *refusedFormat(const uint8_t *head, size_t n) {
    if (startsWith(head, n, "BM", 2)) return "BMP";
    if (startsWith(head, n, "GIF87a", 6) || startsWith(head, n, "GIF89a", 6)) return "GIF";
    if (startsWith(head, n, "8BPS", 4)) return "PSD";
    if (startsWith(head, n, "#?RADIANCE", 10) || startsWith(head, n, "#?RGBE", 6)) return "HDR";
    if (startsWith(head, n, "\x53\x80\xf6\x34", 4)) return "PIC";
    if (startsWith(head, n, "II*\0", 4) || startsWith(head, n, "MM\0*", 4)) return "TIFF";
    if (startsWith(head, n, "qoif", 4)) return "QOI";
    if (n >= 12 && startsWith(head, n, "RIFF", 4) && memcmp(head + 8, "WEBP", 4) == 0) return "WebP";
    if (n >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '7' &&
        (head[2] == ' ' || head[2] == '\t' || head[2] == '\r' || head[2] == '\n' || head[2] == '#')) {
        static const char *const names[] = {"PBM", "PGM", "PPM", "PBM", "PGM", "PPM", "PAM"};
        return names[head[1] - '1'];
    }
    // TGA has no signature: a colour-map flag of 0 or 1 and a known image
    // type in an 18-byte header are what it has.
    if (n >= 18 && head[1] <= 1 &&
        (head[2] == 1 || head[2] == 2 || head[2] == 3 || head[2] == 9 || head[2] == 10 || head[2] == 11))
        return "TGA";
    return nullptr;
}

}  // namespace

void imageFail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(failure, sizeof failure, format, args);
    va_end(args);
}

const char *imageDecodeError() { return failure; }

bool imageWithinLimits(uint64_t w, uint64_t h, const MVPluginImageLimits &limits) {
    if (w == 0 || h == 0) {
        imageFail("the image is %llux%llu pixels: empty", static_cast<unsigned long long>(w),
                  static_cast<unsigned long long>(h));
        return false;
    }
    uint64_t side = static_cast<uint64_t>(limits.maxSide);
    if (w > side || h > side || w * h > static_cast<uint64_t>(limits.maxPixels)) {
        imageFail("the image is %llux%llu pixels, over the limit of %d on a side and %lld pixels",
                  static_cast<unsigned long long>(w), static_cast<unsigned long long>(h), limits.maxSide,
                  static_cast<long long>(limits.maxPixels));
        return false;
    }
    return true;
}

uint8_t *imageDecode(const ImageSource &source, const MVPluginImageLimits &limits, int *w, int *h) {
    failure[0] = '\0';
    *w = *h = 0;
    uint8_t head[18];
    size_t n = 0;
    if (source.file) {
        n = fread(head, 1, sizeof head, source.file);
        if (ferror(source.file) || fseek(source.file, 0, SEEK_SET) != 0) {
            imageFail("the file cannot be read: %s", strerror(errno));
            return nullptr;
        }
    } else {
        n = source.size < sizeof head ? source.size : sizeof head;
        if (n) memcpy(head, source.data, n);
    }
    if (n == 0) {
        imageFail("the file is empty");
        return nullptr;
    }
    if (startsWith(head, n, "\x89PNG\r\n\x1a\n", 8)) return pngDecode(source, limits, w, h);
    if (n >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff) return jpegDecode(source, limits, w, h);
    if (const char *format = refusedFormat(head, n))
        imageFail("%s files are not read (only PNG and JPEG are)", format);
    else
        imageFail("not a PNG or JPEG file");
    return nullptr;
}
