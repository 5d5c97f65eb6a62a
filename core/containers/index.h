// An ordered index over a map's tree nodes: a B+ tree of small sorted blocks
// of {slice, node} entries, kept beside the AVL tree by maps that order their
// keys themselves (integers, strings). The tree's nodes stay where they are
// and keep linking the AVL tree; the index only finds them. A search reads a
// few compact blocks instead of one scattered node per tree level, and
// decides most comparisons on the 64-bit slice without touching a node.
//
// Entries are in key order. An inner block holds for each child the entry of
// a key no greater than any key below that child (and greater than every key
// below the children before it); its entry 0 is never compared. Every entry
// refers to a node that is in the map.
#ifndef MORVEN_CORE_CONTAINERS_INDEX_H
#define MORVEN_CORE_CONTAINERS_INDEX_H

#include <morven/set.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mvindex {

constexpr int kFan = 16;
// Levels of inner blocks. Blocks split when full and are freed when empty,
// never merged, so a level is added only when the root fills: reaching 30
// levels takes far more than 8^30 insertions.
constexpr int kMaxDepth = 30;

struct Entry {
    uint64_t slice;  // the key's bits, ordered as unsigned numbers
    MVTreeNode *node;
};

struct Block {
    int count;  // entries (leaf) or children (inner)
    Entry e[kFan];
};

struct Inner : Block {
    Block *child[kFan];
};

// A searched key. Integer keys are decided by the slice alone (text is null).
// String keys: the slice holds the eight bytes at the map's shared-prefix
// length `skip`, big-endian, zero after the end; when two slices are equal
// and full, the rest of both strings from skip + 8 decides.
struct Key {
    uint64_t slice;
    const char *text;  // null for integer keys
    size_t rest;       // skip + 8
};

// Negative when key sorts before the entry's key, zero when equal.
inline int compare(const Key &k, const Entry &e) {
    if (k.slice != e.slice) return k.slice < e.slice ? -1 : 1;
    if (!k.text || (k.slice & 0xff) == 0) return 0;
    return std::strcmp(k.text + k.rest, static_cast<const char *>(e.node->item) + k.rest);
}

struct Index {
    Block *root;  // null when empty
    int depth;    // inner levels above the leaves
};

// Where a search ended: the inner blocks passed and the child taken in each,
// then the leaf and the position of the key (or where it belongs).
struct Spot {
    Inner *inner[kMaxDepth];
    int child[kMaxDepth];
    Block *leaf;
    int at;
};

inline void init(Index *ix) {
    ix->root = nullptr;
    ix->depth = 0;
}

// The node whose key equals k, or null.
inline MVTreeNode *find(const Index *ix, const Key &k) {
    const Block *b = ix->root;
    if (!b) return nullptr;
    for (int d = ix->depth; d > 0; d--) {
        const Inner *in = static_cast<const Inner *>(b);
        int i = 1;
        while (i < in->count && compare(k, in->e[i]) >= 0) i++;
        b = in->child[i - 1];
        __builtin_prefetch(reinterpret_cast<const char *>(b) + 64);
        __builtin_prefetch(reinterpret_cast<const char *>(b) + 128);
        __builtin_prefetch(reinterpret_cast<const char *>(b) + 192);
    }
    for (int i = 0; i < b->count; i++) {
        int c = compare(k, b->e[i]);
        if (c <= 0) return c == 0 ? b->e[i].node : nullptr;
    }
    return nullptr;
}

// As find, filling *spot; when k is absent, spot->at is where it belongs.
MVTreeNode *locate(const Index *ix, const Key &k, Spot *spot);

// The nodes just before and after spot's position in key order, or null
// where the leaf does not tell (at least one is set in a non-empty index).
inline void neighbours(const Spot *spot, MVTreeNode **before, MVTreeNode **after) {
    const Block *b = spot->leaf;
    *before = b && spot->at > 0 ? b->e[spot->at - 1].node : nullptr;
    *after = b && spot->at < b->count ? b->e[spot->at].node : nullptr;
}

// Adds {slice, node} at an absent key's spot from locate, with the index
// unchanged since. False when out of memory; the index is then unchanged.
bool insertAt(Index *ix, Spot *spot, uint64_t slice, MVTreeNode *node);

// Removes the entry at a present key's spot from locate.
void eraseAt(Index *ix, Spot *spot);

// Recomputes every entry's slice with slice(node).
void reslice(Index *ix, uint64_t (*slice)(const MVTreeNode *, size_t), size_t skip);

// Frees every block.
void release(Index *ix);

}  // namespace mvindex

#endif
