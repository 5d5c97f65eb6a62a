// GoogleTest wrapper of the tree shape checks.
#ifndef MORVEN_TESTS_TREE_CHECK_H
#define MORVEN_TESTS_TREE_CHECK_H

#include <gtest/gtest.h>

#include <string>

#include "tree_invariants.h"

// Checks a whole tree of `count` nodes; returns its height.
inline int checkTree(const MVTreeNode *root, MVCompareFunction cmp, size_t count) {
    int height = checkedHeight(root, nullptr, cmp);
    EXPECT_GE(height, 0) << "order, parent link or balance broken";
    EXPECT_TRUE(heightWithinBound(height, count)) << "tree too high: " << height;
    return height;
}

// Reports a model driver's failure as a test failure.
inline void failTest(const std::string &what) { ADD_FAILURE() << what; }

#endif
