// A per-container pool of fixed-size nodes: memory is taken from malloc in
// growing chunks and freed nodes are kept on a free list for reuse until the
// pool is destroyed. Keeps nodes of one container close together in memory.
#ifndef MORVEN_CORE_CONTAINERS_POOL_H
#define MORVEN_CORE_CONTAINERS_POOL_H

#include <cstddef>

struct MVNodePool {
    size_t nodeSize;     // bytes per node, a multiple of the pointer size
    void *freeList;      // freed nodes, linked through their first word
    void *chunks;        // chunks, linked through their first word
    char *fresh;         // next never-used node of the newest chunk
    size_t freshLeft;    // never-used nodes left in the newest chunk
    size_t nextChunk;    // node count of the next chunk
    size_t bytes;        // taken from malloc so far
};

void poolInit(MVNodePool *pool, size_t nodeSize);
// Releases every chunk; all nodes become invalid.
void poolRelease(MVNodePool *pool);
// Adds a chunk and returns its first node, or null when out of memory.
void *poolGrow(MVNodePool *pool);

// A node of pool->nodeSize bytes, or null when out of memory.
inline void *poolAlloc(MVNodePool *pool) {
    if (void *node = pool->freeList) {
        pool->freeList = *static_cast<void **>(node);
        return node;
    }
    if (pool->freshLeft) {
        void *node = pool->fresh;
        pool->fresh += pool->nodeSize;
        pool->freshLeft--;
        return node;
    }
    return poolGrow(pool);
}

inline void poolFree(MVNodePool *pool, void *node) {
    *static_cast<void **>(node) = pool->freeList;
    pool->freeList = node;
}

#endif
