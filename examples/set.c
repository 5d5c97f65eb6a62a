/* Set exerciser: adds, removes and looks up strings in a MORVEN set, prints
 * them in order and draws the set's search tree in three forms. */
#define _POSIX_C_SOURCE 200809L /* getline */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <morven/set.h>

#define PROGRAM "morven-set"
#define SEPARATOR "----------------------------------------"
#define LEVELS 256

/* Flushes standard output. Nonzero, with *error set, when anything written
 * so far is lost: a full disk, a closed descriptor, a reader gone. */
static int outputLost(int *error) {
    if (fflush(stdout) != EOF && !ferror(stdout)) return 0;
    *error = errno ? errno : EIO;
    return 1;
}

enum { LINE_READ, LINE_END_OF_INPUT, LINE_TOO_LONG };

/* Reads one whole line of standard input, of any length, into *text (grown
 * as needed). A line that does not fit in memory is read to its end and
 * dropped (LINE_TOO_LONG), so that no part of it is ever taken for a command
 * of its own. */
static int readLine(char **text, size_t *size) {
    int c;
    errno = 0;
    if (getline(text, size, stdin) >= 0) return LINE_READ;
    if (errno != ENOMEM || feof(stdin)) return LINE_END_OF_INPUT;
    while ((c = getchar()) != EOF && c != '\n') {
    }
    return LINE_TOO_LONG;
}

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

#define MENU                                                                \
    "Select a set operation:\n"                                             \
    "+<elem> -- Add a new element\n"                                        \
    "-<elem> -- Delete an element\n"                                        \
    "?<elem> -- Query whether an element is present\n"                      \
    "p       -- Print all elements in (strcmp) order\n"                     \
    "pp      -- Pretty-print the set's search tree\n"                       \
    "s       -- Print the set's tree in a compact s-expression form\n"      \
    "ss      -- Pretty print the set's tree in a compact s-expression form\n" \
    "\n"                                                                    \
    "q        -- Quit the program\n" SEPARATOR "\n"

int main(void) {
    char *line = NULL;
    size_t lineSize = 0;
    unsigned char levels[LEVELS] = {0};
    int writeError = 0;
    MVSet *set = mvSetCreate(_setCmp, NULL);
    if (!set) {
        fputs("set: cannot create the set (out of memory)\n", stderr);
        return 1;
    }
    fputs("Example of MORVEN sets" SEPARATOR "\n", stdout);
    for (;;) {
        char *command;
        int got;
        fputs(MENU "Selection: ", stdout);
        /* With its output gone the dialogue is over: read no further. */
        if (outputLost(&writeError)) break;
        got = readLine(&line, &lineSize);
        fputc('\n', stdout);
        if (got == LINE_END_OF_INPUT) break; /* end of input or read error: quit as "q" does */
        command = got == LINE_READ ? line : NULL;
        if (command) command[strcspn(command, "\r\n")] = 0;

        if (!command) {
            puts("Error -- the line does not fit in memory!");
        } else if (*command == '+' || *command == '-' || *command == '?') {
            /* The element: the rest of the line after its leading blanks. */
            const char *e = command + 1 + strspn(command + 1, "\r\n\t\v ");
            MVTreeNode *node = *e ? mvSetSearch(set, e) : NULL;
            if (!*e) {
                puts("Error -- element must be a non-empty string!");
            } else if (*command == '?') {
                printf(node ? "Element '%s' is present in the set!\n"
                            : "Element '%s' is *NOT* present in the set!\n",
                       e);
            } else if (*command == '-' && !node) {
                printf("There is no element '%s' in the set!\n", e);
            } else if (*command == '-') {
                void *item = node->item;
                mvSetRemoveItem(set, item);
                free(item);
                printf("Element '%s' successfully removed!\n", e);
            } else if (node) {
                printf("Element '%s' already exists in the set!\n", e);
            } else {
                size_t size = strlen(e) + 1;
                char *copy = malloc(size);
                if (copy) memcpy(copy, e, size);
                if (copy && mvSetInsert(set, copy)) {
                    printf("Element '%s' successfully added!\n", e);
                } else {
                    printf("Error adding element '%s' -- probably out of memory!\n", e);
                    free(copy);
                }
            }
        } else if (!strcmp(command, "p") || !strcmp(command, "P")) {
            if (set->root)
                printNode(set->root);
            else
                fputs("<the set is empty>", stdout);
            fputc('\n', stdout);
            fflush(stdout);
        } else if (strlen(command) == 2 && strchr("pP", command[0]) && strchr("pP", command[1])) {
            if (set->root) {
                pprintNode(set->root, 0, levels);
                fputc('\n', stdout);
            } else {
                puts("<the set is empty>");
            }
            fflush(stdout);
        } else if (!strcmp(command, "s") || !strcmp(command, "S") ||
                   (strlen(command) == 2 && strchr("sS", command[0]) && strchr("sS", command[1]))) {
            sprintNode(set->root, 0, command[1] != 0);
            fputc('\n', stdout);
            fflush(stdout);
        } else if (!strcmp(command, "q") || !strcmp(command, "Q")) {
            break;
        } else {
            command[strcspn(command, "\r\n\t\v ")] = 0;
            printf("Invalid option '%s'!\n", command);
        }
        fputc('\n', stdout);
        if (outputLost(&writeError)) break;
    }

    /* Quit: empty the set, releasing every element copy, and destroy it. */
    if (!writeError) {
        fputc('\n', stdout);
        outputLost(&writeError);
    }
    while (set->root) {
        MVTreeNode *node = mvSetSearch(set, set->root->item);
        void *item = node->item;
        mvSetRemoveItem(set, item);
        free(item);
    }
    mvSetDestroy(set);
    free(line);
    if (writeError) {
        fprintf(stderr, PROGRAM ": write error: %s\n", strerror(writeError));
        return 1;
    }
    return 0;
}
