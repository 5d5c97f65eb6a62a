#include "core/render/png_write.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"
#include "core/base/replace_file.h"

namespace {

uint32_t crcTable[256];

void makeCrcTable() {
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
}

uint32_t crc(uint32_t c, const uint8_t *p, size_t n) {
    for (size_t i = 0; i < n; i++) c = crcTable[(c ^ p[i]) & 0xff] ^ (c >> 8);
    return c;
}

void chunk(ByteBuffer *out, const char *type, const uint8_t *data, size_t n) {
    out->appendBig32(static_cast<uint32_t>(n));
    out->append(type, 4);
    out->append(data, n);
    uint32_t c = crc(0xffffffffu, reinterpret_cast<const uint8_t *>(type), 4);
    out->appendBig32(crc(c, data, n) ^ 0xffffffffu);
}

inline uint8_t paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Filters one row with filter type f (row bytes n, 4 bytes a pixel; up is
// the row above, or null for the first row) into out.
void filterRow(int f, const uint8_t *row, const uint8_t *up, size_t n, uint8_t *out) {
    for (size_t i = 0; i < n; i++) {
        int a = i >= 4 ? row[i - 4] : 0, b = up ? up[i] : 0, c = up && i >= 4 ? up[i - 4] : 0;
        int predicted = f == 1 ? a : f == 2 ? b : f == 3 ? (a + b) / 2 : f == 4 ? paeth(a, b, c) : 0;
        out[i] = static_cast<uint8_t>(row[i] - predicted);
    }
}

// The usual choice of filter: the one whose bytes, read as signed, sum
// closest to zero, since small values compress best.
uint64_t cost(const uint8_t *p, size_t n) {
    uint64_t sum = 0;
    for (size_t i = 0; i < n; i++) sum += p[i] < 128 ? p[i] : 256 - p[i];
    return sum;
}

constexpr size_t kIdatPiece = size_t(1) << 20;

}  // namespace

bool pngEncode(const uint8_t *rgba, int w, int h, ByteBuffer *out) {
    if (!rgba || w <= 0 || h <= 0 || w > 0x7fffffff / 4) return false;
    if (!crcTable[1]) makeCrcTable();
    size_t rowBytes = 4 * static_cast<size_t>(w);
    if (static_cast<size_t>(h) > SIZE_MAX / (rowBytes + 1)) return false;
    size_t filteredSize = (rowBytes + 1) * static_cast<size_t>(h);
    uint8_t *filtered = static_cast<uint8_t *>(malloc(filteredSize));
    uint8_t *trial = static_cast<uint8_t *>(malloc(rowBytes));
    if (!filtered || !trial) {
        free(filtered);
        free(trial);
        return false;
    }
    for (int y = 0; y < h; y++) {
        const uint8_t *row = rgba + rowBytes * y;
        const uint8_t *up = y > 0 ? row - rowBytes : nullptr;
        uint8_t *dest = filtered + (rowBytes + 1) * y;
        uint64_t best = UINT64_MAX;
        for (int f = 0; f < 5; f++) {
            filterRow(f, row, up, rowBytes, trial);
            uint64_t c = cost(trial, rowBytes);
            if (c < best) {
                best = c;
                dest[0] = static_cast<uint8_t>(f);
                memcpy(dest + 1, trial, rowBytes);
            }
        }
    }
    free(trial);
    ByteBuffer stream;
    deflateZlib(filtered, filteredSize, &stream);
    free(filtered);
    if (!stream.ok) return false;

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    out->append(signature, 8);
    const uint8_t header[13] = {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                                uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h),
                                8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, adaptive filters, no interlace
    chunk(out, "IHDR", header, sizeof header);
    for (size_t at = 0; at < stream.size(); at += kIdatPiece) {
        size_t n = stream.size() - at < kIdatPiece ? stream.size() - at : kIdatPiece;
        chunk(out, "IDAT", stream.data() + at, n);
    }
    chunk(out, "IEND", nullptr, 0);
    return out->ok;
}

bool pngWrite(const char *path, const uint8_t *rgba, int w, int h, char *why, size_t whySize) {
    char reason[256] = "";
    bool ok = false;
    if (!path || !*path) {
        snprintf(reason, sizeof reason, "no path");
    } else if (!rgba || w <= 0 || h <= 0) {
        snprintf(reason, sizeof reason, "no %dx%d image to write", w, h);
    } else {
        ByteBuffer png;
        if (!pngEncode(rgba, w, h, &png))
            snprintf(reason, sizeof reason, "out of memory encoding %dx%d pixels", w, h);
        else
            ok = replaceFile(path, png.data(), png.size(), reason, sizeof reason);
    }
    if (ok) return true;
    setError("PNG %s not written: %s", path ? path : "(null)", reason);
    if (why && whySize) snprintf(why, whySize, "%s", reason);
    return false;
}
