#include "core/render/png_write.h"

#include <cstdio>
#include <cstring>

namespace {

uint32_t crcTable[256];

void makeCrcTable() {
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
}

// Writes bytes while keeping the running CRC of the current chunk and, for
// the image data, the Adler-32 of the uncompressed stream.
struct Writer {
    FILE *file;
    uint32_t crc;
    bool ok;

    void put(const void *data, size_t n) {
        const uint8_t *p = static_cast<const uint8_t *>(data);
        for (size_t i = 0; i < n; i++) crc = crcTable[(crc ^ p[i]) & 0xff] ^ (crc >> 8);
        if (fwrite(data, 1, n, file) != n) ok = false;
    }
    void put32(uint32_t v) {
        uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        put(b, 4);
    }
    void chunkBegin(uint32_t length, const char *type) {
        uint8_t b[4] = {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)};
        if (fwrite(b, 1, 4, file) != 4) ok = false;
        crc = 0xffffffffu;
        put(type, 4);
    }
    void chunkEnd() { put32(crc ^ 0xffffffffu); }
};

struct Adler {
    uint32_t a = 1, b = 0;
    void add(const uint8_t *p, size_t n) {
        for (size_t i = 0; i < n; i++) {
            a = (a + p[i]) % 65521;
            b = (b + a) % 65521;
        }
    }
};

constexpr size_t kBlock = 65535;

}  // namespace

bool pngWrite(const char *path, const uint8_t *rgba, int w, int h) {
    if (!path || !rgba || w <= 0 || h <= 0) return false;
    uint64_t rowBytes = 1 + 4 * static_cast<uint64_t>(w);
    uint64_t raw = rowBytes * static_cast<uint64_t>(h);
    uint64_t blocks = (raw + kBlock - 1) / kBlock;
    uint64_t zlen = 2 + raw + 5 * blocks + 4;
    if (zlen > 0x7fffffffu) return false;
    if (!crcTable[1]) makeCrcTable();
    FILE *file = fopen(path, "wb");
    if (!file) return false;
    Writer out{file, 0, true};

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    out.put(signature, 8);
    out.chunkBegin(13, "IHDR");
    out.put32(static_cast<uint32_t>(w));
    out.put32(static_cast<uint32_t>(h));
    const uint8_t header[5] = {8, 6, 0, 0, 0};  // 8 bits, RGBA, deflate, no filter choice, no interlace
    out.put(header, 5);
    out.chunkEnd();

    out.chunkBegin(static_cast<uint32_t>(zlen), "IDAT");
    const uint8_t zhead[2] = {0x78, 0x01};
    out.put(zhead, 2);
    Adler adler;
    uint64_t position = 0;  // bytes of the filtered stream emitted so far
    const uint8_t filterNone = 0;
    while (position < raw) {
        uint64_t size = raw - position < kBlock ? raw - position : kBlock;
        uint8_t blockHeader[5] = {uint8_t(position + size == raw ? 1 : 0), uint8_t(size), uint8_t(size >> 8),
                                  uint8_t(~size), uint8_t(~size >> 8)};
        out.put(blockHeader, 5);
        uint64_t left = size;
        while (left > 0) {
            uint64_t row = position / rowBytes, column = position % rowBytes;
            const uint8_t *src;
            uint64_t n;
            if (column == 0) {
                src = &filterNone;
                n = 1;
            } else {
                src = rgba + row * (rowBytes - 1) + (column - 1);
                n = rowBytes - column;
                if (n > left) n = left;
            }
            out.put(src, n);
            adler.add(src, n);
            position += n;
            left -= n;
        }
    }
    out.put32((adler.b << 16) | adler.a);
    out.chunkEnd();
    out.chunkBegin(0, "IEND");
    out.chunkEnd();
    bool ok = out.ok;
    if (fclose(file) != 0) ok = false;
    return ok;
}
