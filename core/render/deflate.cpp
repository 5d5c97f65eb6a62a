#include "core/render/deflate.h"

#include <cstdlib>
#include <cstring>

ByteBuffer::~ByteBuffer() { free(data); }

void ByteBuffer::append(const void *bytes, size_t n) {
    if (!ok || n == 0) return;
    if (n > SIZE_MAX - size) {
        ok = false;
        return;
    }
    if (size + n > capacity) {
        size_t grown = capacity < 4096 ? 4096 : capacity;
        while (grown < size + n) grown = grown > SIZE_MAX / 2 ? size + n : grown * 2;
        uint8_t *more = static_cast<uint8_t *>(realloc(data, grown));
        if (!more) {
            ok = false;
            return;
        }
        data = more;
        capacity = grown;
    }
    memcpy(data + size, bytes, n);
    size += n;
}

void ByteBuffer::appendByte(uint8_t byte) { append(&byte, 1); }

void ByteBuffer::appendBig32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    append(b, 4);
}

namespace {

constexpr size_t kWindow = 32768;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
constexpr int kHashBits = 15;
// How many earlier places with the same three bytes are tried for a match.
constexpr int kChainLimit = 48;

const uint16_t lengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t lengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t distanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                   193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t distanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate writes bits from the least significant end of each byte.
struct BitWriter {
    ByteBuffer *out;
    uint64_t bits = 0;
    int count = 0;

    void put(uint32_t value, int n) {
        bits |= static_cast<uint64_t>(value) << count;
        count += n;
        while (count >= 8) {
            out->appendByte(static_cast<uint8_t>(bits));
            bits >>= 8;
            count -= 8;
        }
    }
    // Huffman codes go most significant bit first.
    void putCode(uint32_t code, int n) {
        uint32_t reversed = 0;
        for (int i = 0; i < n; i++) reversed |= ((code >> i) & 1u) << (n - 1 - i);
        put(reversed, n);
    }
    void flush() {
        if (count > 0) out->appendByte(static_cast<uint8_t>(bits));
        bits = 0;
        count = 0;
    }
};

// The fixed literal/length code.
void putSymbol(BitWriter &bw, unsigned symbol) {
    if (symbol < 144)
        bw.putCode(0x30 + symbol, 8);
    else if (symbol < 256)
        bw.putCode(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        bw.putCode(symbol - 256, 7);
    else
        bw.putCode(0xc0 + symbol - 280, 8);
}

void putMatch(BitWriter &bw, size_t length, size_t distance) {
    int l = 28;
    while (lengthBase[l] > length) l--;
    putSymbol(bw, 257 + l);
    bw.put(static_cast<uint32_t>(length - lengthBase[l]), lengthExtra[l]);
    int d = 29;
    while (distanceBase[d] > distance) d--;
    bw.putCode(static_cast<uint32_t>(d), 5);
    bw.put(static_cast<uint32_t>(distance - distanceBase[d]), distanceExtra[d]);
}

uint32_t adler32(const uint8_t *p, size_t n) {
    uint32_t a = 1, b = 0;
    while (n > 0) {
        size_t run = n < 5552 ? n : 5552;  // the most bytes before b can overflow
        n -= run;
        while (run--) {
            a += *p++;
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return (b << 16) | a;
}

inline uint32_t hash3(const uint8_t *p) {
    uint32_t v = static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
    return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

void deflateZlib(const uint8_t *data, size_t n, ByteBuffer *out) {
    // Last place each hash was seen, and before that (by place modulo the window).
    int64_t *head = static_cast<int64_t *>(malloc(sizeof(int64_t) << kHashBits));
    int64_t *previous = static_cast<int64_t *>(malloc(sizeof(int64_t) * kWindow));
    if (!head || !previous) {
        free(head);
        free(previous);
        out->ok = false;
        return;
    }
    for (size_t i = 0; i < (size_t(1) << kHashBits); i++) head[i] = -1;

    const uint8_t zlibHeader[2] = {0x78, 0x01};  // deflate, 32 KB window, fastest-level hint
    out->append(zlibHeader, 2);
    BitWriter bw{out};
    bw.put(1, 1);  // the last block
    bw.put(1, 2);  // fixed Huffman codes

    auto insert = [&](size_t at) {
        uint32_t h = hash3(data + at);
        previous[at % kWindow] = head[h];
        head[h] = static_cast<int64_t>(at);
    };
    size_t i = 0;
    while (i < n && out->ok) {
        size_t bestLength = 0, bestDistance = 0;
        if (n - i >= kMinMatch) {
            size_t limit = n - i < kMaxMatch ? n - i : kMaxMatch;
            int64_t candidate = head[hash3(data + i)];
            for (int chain = kChainLimit; candidate >= 0 && chain > 0; chain--) {
                size_t at = static_cast<size_t>(candidate);
                if (i - at > kWindow) break;
                size_t length = 0;
                while (length < limit && data[at + length] == data[i + length]) length++;
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = i - at;
                    if (length == limit) break;
                }
                int64_t older = previous[at % kWindow];
                if (older >= candidate) break;  // that slot was reused by a newer place
                candidate = older;
            }
            insert(i);
        }
        if (bestLength >= kMinMatch) {
            putMatch(bw, bestLength, bestDistance);
            for (size_t k = 1; k < bestLength; k++)
                if (n - (i + k) >= kMinMatch) insert(i + k);
            i += bestLength;
        } else {
            putSymbol(bw, data[i]);
            i++;
        }
    }
    putSymbol(bw, 256);  // end of block
    bw.flush();
    out->appendBig32(adler32(data, n));
    free(head);
    free(previous);
}
