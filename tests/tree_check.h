// Shape checks for the engine's search trees: order, parent links, AVL balance.
#ifndef MORVEN_TESTS_TREE_CHECK_H
#define MORVEN_TESTS_TREE_CHECK_H

#include <gtest/gtest.h>
#include <morven/set.h>

#include <cmath>

#include "core/tree.h"

// Checks the subtree under n (whose parent must be `parent`) and returns its height.
inline int checkSubtree(const MVTreeNode *n, const MVTreeNode *parent, MVCompareFunction cmp) {
    if (!n) return 0;
    EXPECT_EQ(mvtree::parent(n), parent) << "broken parent link";
    if (n->left) {
        EXPECT_LT(cmp(n->left->item, n->item), 0) << "left child not smaller";
    }
    if (n->right) {
        EXPECT_GT(cmp(n->right->item, n->item), 0) << "right child not greater";
    }
    int hl = checkSubtree(n->left, n, cmp);
    int hr = checkSubtree(n->right, n, cmp);
    EXPECT_LE(std::abs(hr - hl), 1) << "subtree out of balance";
    EXPECT_EQ(int(n->link & 3) - 1, hr - hl) << "stored balance disagrees with heights";
    return 1 + (hl > hr ? hl : hr);
}

// Checks a whole tree of `count` nodes; returns its height.
inline int checkTree(const MVTreeNode *root, MVCompareFunction cmp, size_t count) {
    int height = checkSubtree(root, nullptr, cmp);
    // An AVL tree of n nodes is at most about 1.44 log2(n + 2) high.
    EXPECT_LE(height, 1.4405 * std::log2(double(count) + 2.0)) << "tree too high";
    EXPECT_LE(height, 256);
    return height;
}

#endif
