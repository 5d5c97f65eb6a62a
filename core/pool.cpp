#include "core/pool.h"

#include <cstdint>
#include <cstdlib>

namespace {
constexpr size_t kFirstChunk = 16;    // nodes; small containers stay small
constexpr size_t kLargestChunk = 1024;  // keeps chunks below malloc's mmap threshold
constexpr size_t kLine = 64;          // nodes start on a cache line; the chunk link sits before
}  // namespace

void mvPoolInit(MVNodePool *pool, size_t nodeSize) {
    pool->nodeSize = nodeSize;
    pool->freeList = nullptr;
    pool->chunks = nullptr;
    pool->fresh = nullptr;
    pool->freshLeft = 0;
    pool->nextChunk = kFirstChunk;
}

void *mvPoolGrow(MVNodePool *pool) {
    size_t count = pool->nextChunk;
    char *chunk = static_cast<char *>(std::malloc(kLine + count * pool->nodeSize));
    if (!chunk) return nullptr;
    *reinterpret_cast<void **>(chunk) = pool->chunks;
    pool->chunks = chunk;
    if (count < kLargestChunk) pool->nextChunk = count * 2;
    uintptr_t first = (reinterpret_cast<uintptr_t>(chunk) + sizeof(void *) + kLine - 1) & ~uintptr_t(kLine - 1);
    char *node = chunk + (first - reinterpret_cast<uintptr_t>(chunk));
    pool->fresh = node + pool->nodeSize;
    pool->freshLeft = count - 1;
    return node;
}

void mvPoolRelease(MVNodePool *pool) {
    void *chunk = pool->chunks;
    while (chunk) {
        void *next = *static_cast<void **>(chunk);
        std::free(chunk);
        chunk = next;
    }
    mvPoolInit(pool, pool->nodeSize);
}
