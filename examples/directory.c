/* Directory lister: asks for a path and writes the names of its entries,
 * one per line, in the order the system lists them. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <morven/directory.h>
#include <morven/text.h>

int main(void) {
    char path[1024];
    MVDirectory *dir;
    const char *name;

    fputs("Directory: ", stdout);
    if (!fgets(path, sizeof path, stdin)) return 0; /* no line: nothing to open */
    path[sizeof path - 1] = 0;
    *mvLineEnd(path) = 0;

    dir = mvDirectoryOpen(path);
    if (!dir) {
        fprintf(stderr, "directory: cannot open '%s': %s\n", path, strerror(errno));
        return 0;
    }
    while ((name = mvDirectoryNext(dir, NULL, 0)) != NULL) puts(name);
    mvDirectoryClose(dir);
    return 0;
}
