// A small zlib-stream encoder for the PNG writer: LZ77 over a 32 KB window
// with hash chains, then one deflate block with Huffman codes made for the
// data (or the fixed codes, when shorter). It encodes only data the engine
// made (rendered frames), never parses anything.
#ifndef MORVEN_CORE_RENDER_DEFLATE_H
#define MORVEN_CORE_RENDER_DEFLATE_H

#include <cstddef>
#include <cstdint>

#include "core/containers/growable.h"

// A growing byte buffer from malloc; ok turns false for good when memory
// runs out or the size would overflow.
struct ByteBuffer {
    Growable<uint8_t> bytes;
    bool ok = true;

    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer &) = delete;
    ByteBuffer &operator=(const ByteBuffer &) = delete;
    ~ByteBuffer();
    const uint8_t *data() const { return bytes.items; }
    size_t size() const { return bytes.count; }
    void append(const void *bytes, size_t n);
    void appendByte(uint8_t byte);
    void appendBig32(uint32_t value);
};

// Appends the zlib stream (header, one deflate block, Adler-32) of n bytes
// at data to out.
void deflateZlib(const uint8_t *data, size_t n, ByteBuffer *out);

#endif
