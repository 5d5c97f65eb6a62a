/* A module that must never be opened: its constructor leaves a mark in the
 * file named by MORVEN_HOSTILE_MARK. */
#include <stdio.h>
#include <stdlib.h>

__attribute__((constructor)) static void leaveMark(void) {
    const char *mark = getenv("MORVEN_HOSTILE_MARK");
    FILE *f = mark ? fopen(mark, "w") : NULL;
    if (f) {
        fputs("hostile module ran\n", f);
        fclose(f);
    }
}
