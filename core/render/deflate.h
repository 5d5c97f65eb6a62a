// A small zlib-stream encoder for the PNG writer: LZ77 over a 32 KB window
// with hash chains, then one deflate block with Huffman codes made for the
// data (or the fixed codes, when shorter). It encodes only data the engine
// made (rendered frames), never parses anything.
#ifndef MORVEN_CORE_RENDER_DEFLATE_H
#define MORVEN_CORE_RENDER_DEFLATE_H

#include <cstddef>
#include <cstdint>

// A growing byte buffer from malloc; ok turns false for good when memory
// runs out or the size would overflow.
struct ByteBuffer {
    uint8_t *data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
    bool ok = true;

    ~ByteBuffer();
    void append(const void *bytes, size_t n);
    void appendByte(uint8_t byte);
    void appendBig32(uint32_t value);
};

// Appends the zlib stream (header, one deflate block, Adler-32) of n bytes
// at data to out.
void deflateZlib(const uint8_t *data, size_t n, ByteBuffer *out);

#endif
