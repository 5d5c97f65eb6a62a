#include "core/render/deflate.h"

#include <cstdlib>
#include <cstring>

ByteBuffer::~ByteBuffer() { bytes.release(); }

void ByteBuffer::append(const void *from, size_t n) {
    if (!ok || n == 0) return;
    // The first growth takes a page's worth: PNG chunks come in many small appends.
    uint8_t *to = bytes.capacity || bytes.reserve(4096) ? bytes.extend(n) : nullptr;
    if (!to) {
        ok = false;
        return;
    }
    memcpy(to, from, n);
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
    void flush() {
        if (count > 0) out->appendByte(static_cast<uint8_t>(bits));
        bits = 0;
        count = 0;
    }
};

// A token of the LZ77 pass: a literal byte, or a match of length 3..258 at
// distance 1..32768 (bit 31 set, length in bits 0-8, distance from bit 9).
constexpr uint32_t kMatch = 1u << 31;

int lengthSlot(size_t length) {
    int l = 28;
    while (lengthBase[l] > length) l--;
    return l;
}

int distanceSlot(size_t distance) {
    int d = 29;
    while (distanceBase[d] > distance) d--;
    return d;
}

// One Huffman code: a length and a code (bits reversed for writing) per symbol.
struct Code {
    uint8_t length[288];
    uint16_t bits[288];
};

// Code lengths for the frequencies, none longer than maxBits: a Huffman
// tree, with the frequencies halved (kept above 0) until it fits.
void huffmanLengths(const uint32_t *frequency, int n, int maxBits, uint8_t *length) {
    uint64_t weight[2 * 288];
    int parent[2 * 288];
    bool active[2 * 288];
    uint32_t scaled[288];
    for (int i = 0; i < n; i++) scaled[i] = frequency[i];
    for (;;) {
        int used = 0, last = 0;
        for (int i = 0; i < n; i++) {
            length[i] = 0;
            weight[i] = scaled[i];
            active[i] = scaled[i] > 0;
            parent[i] = -1;
            if (active[i]) used++, last = i;
        }
        if (used <= 1) {
            if (used == 1) length[last] = 1;
            return;
        }
        int nodes = n;
        for (int merges = 0; merges < used - 1; merges++) {
            int a = -1, b = -1;
            for (int i = 0; i < nodes; i++) {
                if (!active[i]) continue;
                if (a < 0 || weight[i] < weight[a]) {
                    b = a;
                    a = i;
                } else if (b < 0 || weight[i] < weight[b]) {
                    b = i;
                }
            }
            active[a] = active[b] = false;
            weight[nodes] = weight[a] + weight[b];
            parent[nodes] = -1;
            active[nodes] = true;
            parent[a] = parent[b] = nodes;
            nodes++;
        }
        int longest = 0;
        for (int i = 0; i < n; i++) {
            if (!scaled[i]) continue;
            int depth = 0;
            for (int at = i; parent[at] >= 0; at = parent[at]) depth++;
            length[i] = static_cast<uint8_t>(depth > 255 ? 255 : depth);
            if (depth > longest) longest = depth;
        }
        if (longest <= maxBits) return;
        for (int i = 0; i < n; i++)
            if (scaled[i]) scaled[i] = (scaled[i] >> 1) | 1;
    }
}

// The canonical codes for the lengths, reversed for the bit writer.
void canonicalCodes(Code *code, int n) {
    uint16_t count[16] = {0}, next[16] = {0};
    for (int i = 0; i < n; i++) count[code->length[i]]++;
    count[0] = 0;
    uint32_t c = 0;
    for (int bits = 1; bits < 16; bits++) {
        c = (c + count[bits - 1]) << 1;
        next[bits] = static_cast<uint16_t>(c);
    }
    for (int i = 0; i < n; i++) {
        int len = code->length[i];
        if (!len) continue;
        uint32_t v = next[len]++, reversed = 0;
        for (int k = 0; k < len; k++) reversed |= ((v >> k) & 1u) << (len - 1 - k);
        code->bits[i] = static_cast<uint16_t>(reversed);
    }
}

void fixedCodes(Code *lit, Code *dist) {
    for (int i = 0; i < 288; i++) lit->length[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    for (int i = 0; i < 30; i++) dist->length[i] = 5;
    canonicalCodes(lit, 288);
    canonicalCodes(dist, 30);
}

// The code-length sequence of a dynamic block's header, run-length coded
// with symbols 16 (repeat the last 3-6 times), 17 (3-10 zeros) and 18
// (11-138 zeros); each entry is symbol | extra value << 8.
int runLengths(const uint8_t *lengths, int n, uint16_t *out) {
    int count = 0;
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && lengths[i + run] == lengths[i]) run++;
        if (lengths[i] == 0 && run >= 3) {
            int take = run > 138 ? 138 : run;
            out[count++] = take >= 11 ? static_cast<uint16_t>(18 | (take - 11) << 8) : static_cast<uint16_t>(17 | (take - 3) << 8);
            i += take;
        } else if (lengths[i] != 0 && run >= 4) {
            out[count++] = lengths[i];
            int take = run - 1 > 6 ? 6 : run - 1;
            out[count++] = static_cast<uint16_t>(16 | (take - 3) << 8);
            i += 1 + take;
        } else {
            out[count++] = lengths[i];
            i++;
        }
    }
    return count;
}

const uint8_t codeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
const uint8_t codeLengthExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

// A dynamic block's header: its codes and how the header itself is coded.
struct DynamicHeader {
    int literals, distances, lengthCodes;
    uint16_t runs[288 + 32];
    int runCount;
    Code lengthCode;
    uint64_t bits;  // the header's size
};

void planHeader(const Code &lit, const Code &dist, DynamicHeader *h) {
    h->literals = 286;
    while (h->literals > 257 && !lit.length[h->literals - 1]) h->literals--;
    h->distances = 30;
    while (h->distances > 1 && !dist.length[h->distances - 1]) h->distances--;
    uint8_t all[288 + 32];
    memcpy(all, lit.length, h->literals);
    memcpy(all + h->literals, dist.length, h->distances);
    h->runCount = runLengths(all, h->literals + h->distances, h->runs);
    uint32_t frequency[19] = {0};
    for (int i = 0; i < h->runCount; i++) frequency[h->runs[i] & 0xff]++;
    huffmanLengths(frequency, 19, 7, h->lengthCode.length);
    canonicalCodes(&h->lengthCode, 19);
    h->lengthCodes = 19;
    while (h->lengthCodes > 4 && !h->lengthCode.length[codeLengthOrder[h->lengthCodes - 1]]) h->lengthCodes--;
    h->bits = 5 + 5 + 4 + 3 * static_cast<uint64_t>(h->lengthCodes);
    for (int i = 0; i < h->runCount; i++) {
        int symbol = h->runs[i] & 0xff;
        h->bits += h->lengthCode.length[symbol] + codeLengthExtra[symbol];
    }
}

void writeHeader(BitWriter &bw, const DynamicHeader &h) {
    bw.put(static_cast<uint32_t>(h.literals - 257), 5);
    bw.put(static_cast<uint32_t>(h.distances - 1), 5);
    bw.put(static_cast<uint32_t>(h.lengthCodes - 4), 4);
    for (int i = 0; i < h.lengthCodes; i++) bw.put(h.lengthCode.length[codeLengthOrder[i]], 3);
    for (int i = 0; i < h.runCount; i++) {
        int symbol = h.runs[i] & 0xff;
        bw.put(h.lengthCode.bits[symbol], h.lengthCode.length[symbol]);
        if (codeLengthExtra[symbol]) bw.put(h.runs[i] >> 8, codeLengthExtra[symbol]);
    }
}

// The bits the tokens take with these codes (the header not counted).
uint64_t bodyBits(const uint32_t *litFrequency, const uint32_t *distFrequency, const Code &lit, const Code &dist) {
    uint64_t bits = 0;
    for (int i = 0; i < 286; i++)
        bits += static_cast<uint64_t>(litFrequency[i]) * (lit.length[i] + (i > 256 ? lengthExtra[i - 257] : 0));
    for (int i = 0; i < 30; i++) bits += static_cast<uint64_t>(distFrequency[i]) * (dist.length[i] + distanceExtra[i]);
    return bits;
}

void writeTokens(BitWriter &bw, const uint32_t *tokens, size_t count, const Code &lit, const Code &dist) {
    for (size_t t = 0; t < count; t++) {
        uint32_t token = tokens[t];
        if (!(token & kMatch)) {
            bw.put(lit.bits[token], lit.length[token]);
            continue;
        }
        size_t length = token & 0x1ff, distance = (token & ~kMatch) >> 9;
        int l = lengthSlot(length), d = distanceSlot(distance);
        bw.put(lit.bits[257 + l], lit.length[257 + l]);
        bw.put(static_cast<uint32_t>(length - lengthBase[l]), lengthExtra[l]);
        bw.put(dist.bits[d], dist.length[d]);
        bw.put(static_cast<uint32_t>(distance - distanceBase[d]), distanceExtra[d]);
    }
    bw.put(lit.bits[256], lit.length[256]);
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

namespace {

// Tokens per deflate block: each block gets codes made for its own part of
// the image, and the token buffer stays small whatever the image's size.
constexpr size_t kBlockTokens = size_t(1) << 18;

struct BlockCoder {
    Code codes[4];  // fixed literal/length and distance, then the block's own
    DynamicHeader header;
    uint32_t litFrequency[288];
    uint32_t distFrequency[30];
};

// Writes the tokens as one block, with the fixed codes or codes made for
// them, whichever is shorter.
void writeBlock(BitWriter &bw, BlockCoder &c, const uint32_t *tokens, size_t count, bool last) {
    Code &fixedLit = c.codes[0], &fixedDist = c.codes[1], &lit = c.codes[2], &dist = c.codes[3];
    c.litFrequency[256] = 1;
    huffmanLengths(c.litFrequency, 286, 15, lit.length);
    lit.length[286] = lit.length[287] = 0;
    huffmanLengths(c.distFrequency, 30, 15, dist.length);
    bool anyDistance = false;
    for (int d = 0; d < 30; d++) anyDistance = anyDistance || dist.length[d];
    if (!anyDistance) dist.length[0] = 1;  // a block needs one distance code, even unused
    canonicalCodes(&lit, 286);
    canonicalCodes(&dist, 30);
    planHeader(lit, dist, &c.header);
    uint64_t fixedBits = bodyBits(c.litFrequency, c.distFrequency, fixedLit, fixedDist);
    uint64_t dynamicBits = c.header.bits + bodyBits(c.litFrequency, c.distFrequency, lit, dist);
    bw.put(last ? 1 : 0, 1);
    if (dynamicBits < fixedBits) {
        bw.put(2, 2);
        writeHeader(bw, c.header);
        writeTokens(bw, tokens, count, lit, dist);
    } else {
        bw.put(1, 2);
        writeTokens(bw, tokens, count, fixedLit, fixedDist);
    }
    memset(c.litFrequency, 0, sizeof c.litFrequency);
    memset(c.distFrequency, 0, sizeof c.distFrequency);
}

}  // namespace

void deflateZlib(const uint8_t *data, size_t n, ByteBuffer *out) {
    // Last place each hash was seen, and before that (by place modulo the window).
    int64_t *head = static_cast<int64_t *>(malloc(sizeof(int64_t) << kHashBits));
    int64_t *previous = static_cast<int64_t *>(malloc(sizeof(int64_t) * kWindow));
    uint32_t *tokens = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * kBlockTokens));
    BlockCoder *coder = static_cast<BlockCoder *>(calloc(1, sizeof(BlockCoder)));
    if (!head || !previous || !tokens || !coder) {
        free(head);
        free(previous);
        free(tokens);
        free(coder);
        out->ok = false;
        return;
    }
    for (size_t i = 0; i < (size_t(1) << kHashBits); i++) head[i] = -1;
    fixedCodes(&coder->codes[0], &coder->codes[1]);

    const uint8_t zlibHeader[2] = {0x78, 0x01};  // deflate, 32 KB window, fastest-level hint
    out->append(zlibHeader, 2);
    BitWriter bw{out};

    // LZ77: the longest earlier match within the window, found along the
    // hash chain of the next three bytes; a literal when there is none.
    size_t count = 0;
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
            tokens[count++] = kMatch | static_cast<uint32_t>(bestDistance) << 9 | static_cast<uint32_t>(bestLength);
            coder->litFrequency[257 + lengthSlot(bestLength)]++;
            coder->distFrequency[distanceSlot(bestDistance)]++;
            for (size_t k = 1; k < bestLength; k++)
                if (n - (i + k) >= kMinMatch) insert(i + k);
            i += bestLength;
        } else {
            tokens[count++] = data[i];
            coder->litFrequency[data[i]]++;
            i++;
        }
        if (count == kBlockTokens || i == n) {
            writeBlock(bw, *coder, tokens, count, i == n);
            count = 0;
        }
    }
    if (n == 0) writeBlock(bw, *coder, nullptr, 0, true);
    bw.flush();
    out->appendBig32(adler32(data, n));
    free(head);
    free(previous);
    free(tokens);
    free(coder);
}
