// Shape checks for the engine's search trees, usable from tests and fuzzers:
// order of neighbours, parent links, stored AVL balance, height bound.
#ifndef MORVEN_TESTS_TREE_INVARIANTS_H
#define MORVEN_TESTS_TREE_INVARIANTS_H

#include <morven/set.h>

#include <cmath>
#include <cstdlib>

#include "core/containers/tree.h"

// The height of the subtree under n, or -1 when any invariant fails.
inline int checkedHeight(const MVTreeNode *n, const MVTreeNode *parent, MVCompareFunction cmp) {
    if (!n) return 0;
    if (mvtree::parent(n) != parent) return -1;
    if (n->left && cmp(n->left->item, n->item) >= 0) return -1;
    if (n->right && cmp(n->right->item, n->item) <= 0) return -1;
    int hl = checkedHeight(n->left, n, cmp);
    int hr = checkedHeight(n->right, n, cmp);
    if (hl < 0 || hr < 0 || std::abs(hr - hl) > 1) return -1;
    if (int(n->link & 3) - 1 != hr - hl) return -1;
    return 1 + (hl > hr ? hl : hr);
}

// An AVL tree of n nodes is at most about 1.44 log2(n + 2) high, and the
// engine promises at most 256 levels.
inline bool heightWithinBound(int height, size_t count) {
    return height <= 256 && height <= 1.4405 * std::log2(double(count) + 2.0);
}

#endif
