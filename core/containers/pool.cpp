#include "core/containers/pool.h"

#include <cstdint>
#include <cstdlib>

#include <sys/mman.h>

namespace {
constexpr size_t kFirstChunk = 16;       // nodes; small containers stay small
constexpr size_t kLargestChunk = 1024;   // nodes; below malloc's mmap threshold
constexpr size_t kLine = 64;             // nodes start on a cache line; the chunk link sits before
// A pool that has grown past this many bytes takes chunks of kBigChunk bytes
// and asks for huge pages for them: walking a big tree then misses the TLB
// far less often.
constexpr size_t kBigPool = size_t(4) << 20;
constexpr size_t kBigChunk = size_t(8) << 20;
constexpr size_t kHugePage = size_t(2) << 20;

void adviseHugePages(char *chunk, size_t bytes) {
    uintptr_t begin = (reinterpret_cast<uintptr_t>(chunk) + kHugePage - 1) & ~uintptr_t(kHugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(chunk) + bytes) & ~uintptr_t(kHugePage - 1);
#ifdef MADV_HUGEPAGE
    if (end > begin) madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    // FreeBSD promotes aligned runs to superpages on its own; nothing to ask.
    (void)begin;
    (void)end;
#endif
}
}  // namespace

void poolInit(MVNodePool *pool, size_t nodeSize) {
    pool->nodeSize = nodeSize;
    pool->freeList = nullptr;
    pool->chunks = nullptr;
    pool->fresh = nullptr;
    pool->freshLeft = 0;
    pool->nextChunk = kFirstChunk;
    pool->bytes = 0;
}

void *poolGrow(MVNodePool *pool) {
    size_t count = pool->nextChunk;
    bool big = pool->bytes >= kBigPool;
    if (big) count = (kBigChunk - kLine) / pool->nodeSize;
    size_t bytes = kLine + count * pool->nodeSize;
    char *chunk = static_cast<char *>(std::malloc(bytes));
    if (!chunk) return nullptr;
    if (big) adviseHugePages(chunk, bytes);
    *reinterpret_cast<void **>(chunk) = pool->chunks;
    pool->chunks = chunk;
    pool->bytes += bytes;
    if (count < kLargestChunk) pool->nextChunk = count * 2;
    uintptr_t first = (reinterpret_cast<uintptr_t>(chunk) + sizeof(void *) + kLine - 1) & ~uintptr_t(kLine - 1);
    char *node = chunk + (first - reinterpret_cast<uintptr_t>(chunk));
    pool->fresh = node + pool->nodeSize;
    pool->freshLeft = count - 1;
    return node;
}

void poolRelease(MVNodePool *pool) {
    void *chunk = pool->chunks;
    while (chunk) {
        void *next = *static_cast<void **>(chunk);
        std::free(chunk);
        chunk = next;
    }
    poolInit(pool, pool->nodeSize);
}
