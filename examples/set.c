/* Set exerciser: adds, removes and looks up strings in a MORVEN set, prints
 * them in order and draws the set's search tree in three forms. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <morven/set.h>

#define SEPARATOR "----------------------------------------"
#define LEVELS 256

/* Orders elements byte-wise; the same pointer is equal without a look. */
static int _setCmp(const void *a, const void *b) {
    if (a == b) return 0;
    return strcmp((const char *)a, (const char *)b);
}

/* Writes the subtree's elements in order, each quoted and followed by a blank. */
static void printNode(const MVTreeNode *node) {
    if (!node) return;
    printNode(node->left);
    printf("\"%s\" ", (const char *)node->item);
    printNode(node->right);
}

/* Writes the subtree as an s-expression; the pretty form indents each child
 * on a line of its own. */
static void sprintNode(const MVTreeNode *node, int depth, int pretty) {
    const char *separator = pretty ? "\n" : " ";
    int i;
    if (pretty)
        for (i = 0; i < depth; i++) fputs("  ", stdout);
    if (!node) {
        fputs("NIL", stdout);
        return;
    }
    if (!node->left && !node->right) {
        fputs((const char *)node->item, stdout);
        return;
    }
    printf("(%s%s", (const char *)node->item, separator);
    sprintNode(node->left, depth + 1, pretty);
    fputs(separator, stdout);
    sprintNode(node->right, depth + 1, pretty);
    fputs(")", stdout);
}

/* Draws the subtree, one line per node or missing child. flags[i] tells
 * whether the node at level i on the current path is a right child. */
static void pprintNode(const MVTreeNode *node, int depth, unsigned char *flags) {
    int i;
    for (i = 1; i < depth; i++) fputs(flags[i] ? "  " : "| ", stdout);
    if (depth > 0) fputc(flags[depth] ? '\\' : '|', stdout);
    if (!node) {
        fputc('\n', stdout);
        return;
    }
    if (depth > 0) fputc('-', stdout);
    printf("%s\n", (const char *)node->item);
    /* Levels beyond the flag array are not drawn. */
    if ((node->left || node->right) && depth + 1 < LEVELS) {
        flags[depth + 1] = 0;
        pprintNode(node->left, depth + 1, flags);
        flags[depth + 1] = 1;
        pprintNode(node->right, depth + 1, flags);
    }
}

static const char *skipBlanks(const char *s) {
    while (*s == '\r' || *s == '\n' || *s == '\t' || *s == '\v' || *s == ' ') s++;
    return s;
}

static void addElement(MVSet *set, const char *e) {
    size_t size;
    char *copy;
    if (mvSetSearch(set, e)) {
        printf("Element '%s' already exists in the set!\n", e);
        return;
    }
    size = strlen(e) + 1;
    copy = malloc(size);
    if (copy) memcpy(copy, e, size);
    if (copy && mvSetInsert(set, copy)) {
        printf("Element '%s' successfully added!\n", e);
        return;
    }
    printf("Error adding element '%s' -- probably out of memory!\n", e);
    free(copy);
}

static void removeElement(MVSet *set, const char *e) {
    MVTreeNode *node = mvSetSearch(set, e);
    void *item;
    if (!node) {
        printf("There is no element '%s' in the set!\n", e);
        return;
    }
    item = node->item;
    mvSetRemoveItem(set, item);
    free(item);
    printf("Element '%s' successfully removed!\n", e);
}

static void queryElement(MVSet *set, const char *e) {
    if (mvSetSearch(set, e))
        printf("Element '%s' is present in the set!\n", e);
    else
        printf("Element '%s' is *NOT* present in the set!\n", e);
}

static void writeMenu(void) {
    puts("Select a set operation:");
    puts("+<elem> -- Add a new element");
    puts("-<elem> -- Delete an element");
    puts("?<elem> -- Query whether an element is present");
    puts("p       -- Print all elements in (strcmp) order");
    puts("pp      -- Pretty-print the set's search tree");
    puts("s       -- Print the set's tree in a compact s-expression form");
    puts("ss      -- Pretty print the set's tree in a compact s-expression form");
    puts("");
    puts("q        -- Quit the program");
    puts(SEPARATOR);
}

/* True when text is `letter` repeated `count` times, in either case. */
static int isCommand(const char *text, char letter, size_t count) {
    size_t i;
    for (i = 0; i < count; i++)
        if (text[i] != letter && text[i] != letter - 'a' + 'A') return 0;
    return text[count] == 0;
}

/* Empties the set, releasing every element copy, and destroys it. */
static void quit(MVSet *set) {
    fputc('\n', stdout);
    fflush(stdout);
    while (set->root) {
        MVTreeNode *node = mvSetSearch(set, set->root->item);
        void *item = node->item;
        mvSetRemoveItem(set, item);
        free(item);
    }
    mvSetDestroy(set);
}

int main(void) {
    char buffer[1024];
    unsigned char levels[LEVELS] = {0};
    MVSet *set = mvSetCreate(_setCmp, NULL);
    if (!set) {
        fputs("set: cannot create the set (out of memory)\n", stderr);
        return 1;
    }
    fputs("Example of MORVEN sets" SEPARATOR "\n", stdout);
    for (;;) {
        int gotLine;
        writeMenu();
        fputs("Selection: ", stdout);
        fflush(stdout);
        gotLine = fgets(buffer, sizeof buffer, stdin) != NULL;
        fputc('\n', stdout);
        if (!gotLine) break; /* end of input or read error: quit as "q" does */
        buffer[strcspn(buffer, "\r\n")] = 0;

        if (buffer[0] == '+' || buffer[0] == '-' || buffer[0] == '?') {
            const char *e = skipBlanks(buffer + 1);
            if (!*e)
                puts("Error -- element must be a non-empty string!");
            else if (buffer[0] == '+')
                addElement(set, e);
            else if (buffer[0] == '-')
                removeElement(set, e);
            else
                queryElement(set, e);
        } else if (isCommand(buffer, 'p', 1)) {
            if (set->root)
                printNode(set->root);
            else
                fputs("<the set is empty>", stdout);
            fputc('\n', stdout);
            fflush(stdout);
        } else if (isCommand(buffer, 'p', 2)) {
            if (set->root) {
                pprintNode(set->root, 0, levels);
                fputc('\n', stdout);
            } else {
                puts("<the set is empty>");
            }
            fflush(stdout);
        } else if (isCommand(buffer, 's', 1) || isCommand(buffer, 's', 2)) {
            sprintNode(set->root, 0, buffer[1] != 0);
            fputc('\n', stdout);
            fflush(stdout);
        } else if (isCommand(buffer, 'q', 1)) {
            break;
        } else {
            buffer[strcspn(buffer, "\r\n\t\v ")] = 0;
            printf("Invalid option '%s'!\n", buffer);
        }
        fputc('\n', stdout);
        fflush(stdout);
    }
    quit(set);
    return 0;
}
