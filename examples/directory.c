/* Directory lister: asks for a path and writes the names of its entries,
 * one per line, in the order the system lists them. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <morven/directory.h>
#include <morven/text.h>

#define PROGRAM "morven-directory"

/* Ends the program: a listing that did not reach standard output (a full
 * disk, a closed descriptor, a reader gone) is a failure, said on stderr. */
static int finish(int status) {
    if (fflush(stdout) != EOF && !ferror(stdout)) return status;
    fprintf(stderr, PROGRAM ": write error: %s\n", strerror(errno ? errno : EIO));
    return 1;
}

int main(void) {
    char path[1024];
    MVDirectory *dir;
    const char *name;

    fputs("Directory: ", stdout);
    if (!fgets(path, sizeof path, stdin)) return finish(0); /* no line: nothing to open */
    path[sizeof path - 1] = 0;
    *mvLineEnd(path) = 0;

    dir = mvDirectoryOpen(path);
    if (!dir) {
        fprintf(stderr, "directory: cannot open '%s': %s\n", path, strerror(errno));
        return finish(0);
    }
    while ((name = mvDirectoryNext(dir, NULL, 0)) != NULL)
        if (puts(name) == EOF) break; /* the rest would be lost too */
    mvDirectoryClose(dir);
    return finish(0);
}
