#include "core/containers/tree.h"

namespace mvtree {
namespace {

int balance(const MVTreeNode *n) { return int(n->link & 3) - 1; }
void setBalance(MVTreeNode *n, int b) { n->link = (n->link & ~uintptr_t(3)) | uintptr_t(b + 1); }
void setParent(MVTreeNode *n, MVTreeNode *p) {
    n->link = reinterpret_cast<uintptr_t>(p) | (n->link & 3);
}

// Points whatever referred to old (its parent's child slot, or the root) at young.
void replaceChild(MVTreeNode **root, MVTreeNode *p, MVTreeNode *old, MVTreeNode *young) {
    if (!p)
        *root = young;
    else if (p->left == old)
        p->left = young;
    else
        p->right = young;
}

// x's right child takes x's place; x becomes its left child. Balances are the caller's.
MVTreeNode *rotateLeft(MVTreeNode **root, MVTreeNode *x) {
    MVTreeNode *y = x->right;
    MVTreeNode *p = parent(x);
    x->right = y->left;
    if (y->left) setParent(y->left, x);
    y->left = x;
    setParent(y, p);
    replaceChild(root, p, x, y);
    setParent(x, y);
    return y;
}

MVTreeNode *rotateRight(MVTreeNode **root, MVTreeNode *x) {
    MVTreeNode *y = x->left;
    MVTreeNode *p = parent(x);
    x->left = y->right;
    if (y->right) setParent(y->right, x);
    y->right = x;
    setParent(y, p);
    replaceChild(root, p, x, y);
    setParent(x, y);
    return y;
}

// Fixes a node whose balance reached +2 or -2 (dir: +1 right-heavy, -1 left-heavy).
// Returns the subtree's new root and whether the subtree's height dropped
// compared with before the imbalance appeared.
MVTreeNode *rebalance(MVTreeNode **root, MVTreeNode *p, int dir, bool *shorter) {
    MVTreeNode *s = dir > 0 ? p->right : p->left;
    int sb = balance(s);
    if (sb == 0) {  // only after an erase: height stays
        MVTreeNode *top = dir > 0 ? rotateLeft(root, p) : rotateRight(root, p);
        setBalance(p, dir);
        setBalance(s, -dir);
        *shorter = false;
        return top;
    }
    if (sb == dir) {  // single rotation
        MVTreeNode *top = dir > 0 ? rotateLeft(root, p) : rotateRight(root, p);
        setBalance(p, 0);
        setBalance(s, 0);
        *shorter = true;
        return top;
    }
    // double rotation through the inner grandchild g
    MVTreeNode *g = dir > 0 ? s->left : s->right;
    int gb = balance(g);
    if (dir > 0) {
        rotateRight(root, s);
        rotateLeft(root, p);
    } else {
        rotateLeft(root, s);
        rotateRight(root, p);
    }
    setBalance(p, gb == dir ? -dir : 0);
    setBalance(s, gb == -dir ? dir : 0);
    setBalance(g, 0);
    *shorter = true;
    return g;
}

}  // namespace

void insert(MVTreeNode **root, MVTreeNode *p, bool left, MVTreeNode *node) {
    node->left = node->right = nullptr;
    node->link = reinterpret_cast<uintptr_t>(p) | 1;
    if (!p) {
        *root = node;
        return;
    }
    if (left)
        p->left = node;
    else
        p->right = node;
    // Walk up while the subtree that grew makes its parent taller.
    for (MVTreeNode *child = node; p; child = p, p = parent(p)) {
        int b = balance(p) + (child == p->left ? -1 : 1);
        if (b == 0) {
            setBalance(p, 0);
            return;
        }
        if (b == 1 || b == -1) {
            setBalance(p, b);
            continue;
        }
        bool shorter;
        rebalance(root, p, b > 0 ? 1 : -1, &shorter);
        return;  // after an insertion a rotation always restores the old height
    }
}

void erase(MVTreeNode **root, MVTreeNode *z) {
    MVTreeNode *p;     // where the height loss starts
    bool fromLeft;     // which side of p lost height
    MVTreeNode *zp = parent(z);
    if (z->left && z->right) {
        // The in-order successor y takes z's place, balance included.
        MVTreeNode *y = z->right;
        while (y->left) y = y->left;
        if (y == z->right) {
            p = y;
            fromLeft = false;
        } else {
            p = parent(y);
            fromLeft = true;
            p->left = y->right;
            if (y->right) setParent(y->right, p);
            y->right = z->right;
            setParent(z->right, y);
        }
        y->left = z->left;
        setParent(z->left, y);
        y->link = z->link;
        replaceChild(root, zp, z, y);
    } else {
        MVTreeNode *child = z->left ? z->left : z->right;
        if (child) setParent(child, zp);
        p = zp;
        fromLeft = zp && zp->left == z;
        replaceChild(root, zp, z, child);
    }
    // Walk up while subtrees get shorter.
    while (p) {
        int b = balance(p) + (fromLeft ? 1 : -1);
        MVTreeNode *top = p;
        if (b == 1 || b == -1) {
            setBalance(p, b);
            return;
        }
        if (b == 0) {
            setBalance(p, 0);
        } else {
            bool shorter;
            top = rebalance(root, p, b > 0 ? 1 : -1, &shorter);
            if (!shorter) return;
        }
        MVTreeNode *up = parent(top);
        if (up) fromLeft = up->left == top;
        p = up;
    }
}

// Walks down the left spine. In-order walks come back to every right child
// met on the way, so its cache line is fetched now, while the walk goes on.
MVTreeNode *first(MVTreeNode *n) {
    if (!n) return n;
    for (;;) {
        if (n->right) __builtin_prefetch(n->right);
        if (!n->left) return n;
        n = n->left;
    }
}

MVTreeNode *last(MVTreeNode *n) {
    if (n)
        while (n->right) n = n->right;
    return n;
}

MVTreeNode *next(const MVTreeNode *n) {
    if (n->right) return first(n->right);
    MVTreeNode *p = parent(n);
    while (p && n == p->right) {
        n = p;
        p = parent(p);
    }
    return p;
}

MVTreeNode *prev(const MVTreeNode *n) {
    if (n->left) return last(n->left);
    MVTreeNode *p = parent(n);
    while (p && n == p->left) {
        n = p;
        p = parent(p);
    }
    return p;
}

}  // namespace mvtree
