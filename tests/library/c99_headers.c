/* Every public header as strict C99, plus a few calls through the library. */
#include "morven_all.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Record layouts are ABI: pinned here as the C compiler sees them. */
#define PIN(name, cond) typedef char pin_##name[(cond) ? 1 : -1]
PIN(map_node, offsetof(MVMapNode, key) == 0 && offsetof(MVMapNode, value) == sizeof(void *) &&
                  sizeof(MVMapNode) == 2 * sizeof(void *));
PIN(tree_node, offsetof(MVTreeNode, left) == 0 && offsetof(MVTreeNode, right) == sizeof(void *) &&
                   offsetof(MVTreeNode, item) == 3 * sizeof(void *) && sizeof(MVTreeNode) == 4 * sizeof(void *));
PIN(set_root, offsetof(MVSet, root) == 0);
PIN(bank, offsetof(MVBank, map) == 0 && offsetof(MVBank, path) == sizeof(void *) &&
              offsetof(MVBank, load) == 2 * sizeof(void *) && offsetof(MVBank, unload) == 3 * sizeof(void *));
PIN(vec2, sizeof(MVVec2) == 8 && offsetof(MVVec2, y) == 4);

static int compare(const void *a, const void *b) { return strcmp((const char *)a, (const char *)b); }

static void *load(const char *path, void *data) {
    (void)data;
    return strcmp(path, "res/x.txt") == 0 ? (void *)path : NULL;
}

int main(void) {
    int failures = 0;
    MVSMap *map = mvSMapCreate();
    MVSet *set = mvSetCreate(compare, NULL);
    MVBank *bank = mvBankCreate("res/%s.txt", load, NULL);
    MVVec2 v = mvVec2f(1.0f, 2.0f);
    char item[] = "item";
    int value = 7;
    MVMapNode *entry;

    mvSMapAssign(map, "key", &value);
    failures += mvSMapFind(map, "key") != &value;
    failures += mvSetInsert(set, item) == NULL || mvSetSearch(set, "item") == NULL || set->root == NULL;
    failures += mvBankLoad(bank, "x", NULL) == NULL || mvBankLoad(bank, "y", NULL) != NULL;
    failures += v.x != 1.0f || v.y != 2.0f;

    while ((entry = mvSMapPopFirst(map)) != NULL) free(entry->key);
    mvSMapDestroy(map);
    mvSetRemoveItem(set, item);
    mvSetDestroy(set);
    mvBankDestroy(bank);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures != 0;
}
