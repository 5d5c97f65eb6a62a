// The engine's one balanced search tree: an intrusive AVL tree over
// MVTreeNode. The node's link holds the parent pointer with the balance
// factor (right height minus left height, plus one) in its two low bits.
// Maps and sets search with their own key access and link nodes in here.
#ifndef MORVEN_CORE_TREE_H
#define MORVEN_CORE_TREE_H

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

// Finds the node whose key (keyOf(node)) compares equal to key, or null.
template <class KeyOf>
inline MVTreeNode *find(MVTreeNode *n, const void *key, MVCompareFunction cmp, KeyOf keyOf) {
    while (n) {
        int c = cmp(key, keyOf(n));
        if (c == 0) return n;
        n = c < 0 ? n->left : n->right;
    }
    return nullptr;
}

// Where key would be inserted: sets *parentOut and *leftOut, and returns the
// node holding an equal key, or null when it is absent.
template <class KeyOf>
inline MVTreeNode *locate(MVTreeNode *n, const void *key, MVCompareFunction cmp, KeyOf keyOf,
                          MVTreeNode **parentOut, bool *leftOut) {
    MVTreeNode *p = nullptr;
    bool left = false;
    while (n) {
        int c = cmp(key, keyOf(n));
        if (c == 0) return n;
        p = n;
        left = c < 0;
        n = left ? n->left : n->right;
    }
    *parentOut = p;
    *leftOut = left;
    return nullptr;
}

}  // namespace mvtree

#endif
