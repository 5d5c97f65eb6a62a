#include <morven/engine.h>
#include <morven/error.h>
#include <morven/smap.h>
#include <stdio.h>

/* Uses the string map, then loads each module named on the command line. */
int main(int argc, char **argv) {
    MVSMap *map = mvSMapCreate();
    int value = 1;
    mvSMapAssign(map, "installed", &value);
    int ok = mvSMapFind(map, "installed") == &value;
    mvSMapRemove(map, "installed");
    mvSMapDestroy(map);
    for (int i = 1; i < argc; i++) {
        if (!mvLoadModule(argv[i])) {
            printf("module %s: %s\n", argv[i], mvGetError());
            ok = 0;
        }
    }
    mvDeinit();
    puts(ok ? "consumer ok" : "consumer FAILED");
    return !ok;
}
