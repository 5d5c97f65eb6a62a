// The engine's one balanced search tree: an intrusive AVL tree over
// MVTreeNode. The node's link holds the parent pointer with the balance
// factor (right height minus left height, plus one) in its two low bits.
// Maps and sets search with their own key access and link nodes in here.
#ifndef MORVEN_CORE_CONTAINERS_TREE_H
#define MORVEN_CORE_CONTAINERS_TREE_H

#include <morven/set.h>

namespace mvtree {

inline MVTreeNode *parent(const MVTreeNode *n) {
    return reinterpret_cast<MVTreeNode *>(n->link & ~uintptr_t(3));
}

// Attaches a fresh node below parent (null for an empty tree) on the given
// side and restores the balance.
void insert(MVTreeNode **root, MVTreeNode *parent, bool left, MVTreeNode *node);

// Unlinks node from the tree and restores the balance. The node's memory and
// item are not touched afterwards.
void erase(MVTreeNode **root, MVTreeNode *node);

MVTreeNode *first(MVTreeNode *root);
MVTreeNode *last(MVTreeNode *root);
MVTreeNode *next(const MVTreeNode *node);
MVTreeNode *prev(const MVTreeNode *node);

// Searches take `order`, a callable that compares the searched key with a
// node's key: order(node) < 0 when the key sorts before the node's.

// The node whose key compares equal, or null.
template <class Order>
inline MVTreeNode *find(MVTreeNode *n, Order order) {
    while (n) {
        // Both children are fetched before the comparison decides between
        // them, so a mispredicted branch does not delay the next level.
        __builtin_prefetch(n->left);
        __builtin_prefetch(n->right);
        int c = order(n);
        if (c == 0) return n;
        n = c < 0 ? n->left : n->right;
    }
    return nullptr;
}

// As find; when the key is absent, also tells where it would be inserted.
template <class Order>
inline MVTreeNode *locate(MVTreeNode *n, Order order, MVTreeNode **parentOut, bool *leftOut) {
    MVTreeNode *p = nullptr;
    bool left = false;
    while (n) {
        __builtin_prefetch(n->left);
        __builtin_prefetch(n->right);
        int c = order(n);
        if (c == 0) return n;
        p = n;
        left = c < 0;
        n = left ? n->left : n->right;
    }
    *parentOut = p;
    *leftOut = left;
    return nullptr;
}

// Orders by the caller's comparison function applied to the nodes' items.
struct ByItem {
    MVCompareFunction cmp;
    const void *key;
    int operator()(const MVTreeNode *n) const { return cmp(key, n->item); }
};

}  // namespace mvtree

#endif
