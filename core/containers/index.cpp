#include "core/containers/index.h"

#include <cstdlib>

namespace mvindex {
namespace {

constexpr int kHalf = kFan / 2;

Block *newLeaf() {
    Block *b = static_cast<Block *>(std::malloc(sizeof(Block)));
    if (b) b->count = 0;
    return b;
}

Inner *newInner() {
    Inner *b = static_cast<Inner *>(std::malloc(sizeof(Inner)));
    if (b) b->count = 0;
    return b;
}

// Opens a gap at position at of a block holding count items.
template <class T>
void openGap(T *items, int count, int at) {
    std::memmove(items + at + 1, items + at, sizeof(T) * size_t(count - at));
}

template <class T>
void closeGap(T *items, int count, int at) {
    std::memmove(items + at, items + at + 1, sizeof(T) * size_t(count - at - 1));
}

// After the lowest entry under the path's level `from` changed to low, the
// bounds that named the old lowest entry are replaced, up to the first block
// where that subtree is not the leftmost child.
void raiseBound(Spot *spot, int from, const Entry &low) {
    for (int d = from; d >= 0; d--) {
        spot->inner[d]->e[spot->child[d]] = low;
        if (spot->child[d] != 0) return;
    }
}

void releaseBlock(Block *b, int depth) {
    if (depth > 0) {
        Inner *in = static_cast<Inner *>(b);
        for (int i = 0; i < in->count; i++) releaseBlock(in->child[i], depth - 1);
    }
    std::free(b);
}

void resliceBlock(Block *b, int depth, uint64_t (*slice)(const MVTreeNode *, size_t), size_t skip) {
    for (int i = 0; i < b->count; i++) b->e[i].slice = slice(b->e[i].node, skip);
    if (depth > 0) {
        Inner *in = static_cast<Inner *>(b);
        for (int i = 0; i < in->count; i++) resliceBlock(in->child[i], depth - 1, slice, skip);
    }
}

}  // namespace

MVTreeNode *locate(const Index *ix, const Key &k, Spot *spot) {
    Block *b = ix->root;
    spot->leaf = b;
    spot->at = 0;
    if (!b) return nullptr;
    for (int d = 0; d < ix->depth; d++) {
        Inner *in = static_cast<Inner *>(b);
        int i = 1;
        while (i < in->count && compare(k, in->e[i]) >= 0) i++;
        spot->inner[d] = in;
        spot->child[d] = i - 1;
        b = in->child[i - 1];
    }
    spot->leaf = b;
    int i = 0;
    int c = 1;
    while (i < b->count && (c = compare(k, b->e[i])) > 0) i++;
    spot->at = i;
    return i < b->count && c == 0 ? b->e[i].node : nullptr;
}

bool insertAt(Index *ix, Spot *spot, uint64_t slice, MVTreeNode *node) {
    Entry entry{slice, node};
    if (!ix->root) {
        Block *leaf = newLeaf();
        if (!leaf) return false;
        leaf->e[0] = entry;
        leaf->count = 1;
        ix->root = leaf;
        ix->depth = 0;
        return true;
    }
    Block *leaf = spot->leaf;
    int at = spot->at;
    if (leaf->count < kFan) {
        openGap(leaf->e, leaf->count, at);
        leaf->e[at] = entry;
        leaf->count++;
        if (at == 0 && ix->depth > 0) raiseBound(spot, ix->depth - 1, entry);
        return true;
    }

    // Full leaf: every full block on the way up splits, and a full root gets a
    // new root above it. All blocks are taken first, so that running out of
    // memory leaves the index as it was.
    int splits = 1;
    while (splits <= ix->depth && spot->inner[ix->depth - splits]->count == kFan) splits++;
    bool newRoot = splits > ix->depth;
    if (newRoot && ix->depth == kMaxDepth) return false;
    Block *fresh[kMaxDepth + 2];
    int taken = 0;
    bool ok = true;
    for (int s = 0; s < splits + (newRoot ? 1 : 0) && ok; s++) {
        fresh[s] = s == 0 ? newLeaf() : newInner();
        ok = fresh[s] != nullptr;
        taken += ok;
    }
    if (!ok) {
        for (int s = 0; s < taken; s++) std::free(fresh[s]);
        return false;
    }

    // Split the leaf: the upper half moves to a new leaf, then the entry goes
    // into whichever half holds its place.
    Block *right = fresh[0];
    std::memcpy(right->e, leaf->e + kHalf, sizeof(Entry) * (kFan - kHalf));
    right->count = kFan - kHalf;
    leaf->count = kHalf;
    Block *target = at <= kHalf ? leaf : right;
    int pos = at <= kHalf ? at : at - kHalf;
    openGap(target->e, target->count, pos);
    target->e[pos] = entry;
    target->count++;
    if (target == leaf && pos == 0 && ix->depth > 0) raiseBound(spot, ix->depth - 1, entry);

    // Hand the new block up, splitting full inner blocks on the way.
    Block *up = right;
    Entry upBound = right->e[0];
    for (int s = 1; s <= ix->depth; s++) {
        int d = ix->depth - s;
        Inner *in = spot->inner[d];
        int slot = spot->child[d] + 1;
        if (in->count < kFan) {
            openGap(in->e, in->count, slot);
            openGap(in->child, in->count, slot);
            in->e[slot] = upBound;
            in->child[slot] = up;
            in->count++;
            return true;
        }
        Inner *half = static_cast<Inner *>(fresh[s]);
        std::memcpy(half->e, in->e + kHalf, sizeof(Entry) * (kFan - kHalf));
        std::memcpy(half->child, in->child + kHalf, sizeof(Block *) * (kFan - kHalf));
        half->count = kFan - kHalf;
        in->count = kHalf;
        Inner *into = slot <= kHalf ? in : half;
        int p = slot <= kHalf ? slot : slot - kHalf;
        openGap(into->e, into->count, p);
        openGap(into->child, into->count, p);
        into->e[p] = upBound;
        into->child[p] = up;
        into->count++;
        up = half;
        upBound = half->e[0];
    }
    Inner *root = static_cast<Inner *>(fresh[splits]);
    root->e[0] = ix->root->e[0];
    root->child[0] = ix->root;
    root->e[1] = upBound;
    root->child[1] = up;
    root->count = 2;
    ix->root = root;
    ix->depth++;
    return true;
}

void eraseAt(Index *ix, Spot *spot) {
    Block *leaf = spot->leaf;
    closeGap(leaf->e, leaf->count, spot->at);
    leaf->count--;
    if (leaf->count > 0) {
        if (spot->at == 0 && ix->depth > 0) raiseBound(spot, ix->depth - 1, leaf->e[0]);
        return;
    }
    // The leaf emptied: it leaves its parent, and so does every block that
    // empties in turn.
    std::free(leaf);
    int d = ix->depth - 1;
    while (d >= 0) {
        Inner *in = spot->inner[d];
        int at = spot->child[d];
        closeGap(in->e, in->count, at);
        closeGap(in->child, in->count, at);
        in->count--;
        if (in->count > 0) {
            if (at == 0 && d > 0) raiseBound(spot, d - 1, in->e[0]);
            break;
        }
        std::free(in);
        d--;
    }
    if (d < 0) {
        ix->root = nullptr;
        ix->depth = 0;
        return;
    }
    // A root left with one child gives way to it.
    while (ix->depth > 0 && ix->root->count == 1) {
        Inner *old = static_cast<Inner *>(ix->root);
        ix->root = old->child[0];
        ix->depth--;
        std::free(old);
    }
}

void reslice(Index *ix, uint64_t (*slice)(const MVTreeNode *, size_t), size_t skip) {
    if (ix->root) resliceBlock(ix->root, ix->depth, slice, skip);
}

void release(Index *ix) {
    if (ix->root) releaseBlock(ix->root, ix->depth);
    init(ix);
}

}  // namespace mvindex
