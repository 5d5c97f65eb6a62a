#include <morven/smap.h>
#include <stdio.h>

int main(void) {
    MVSMap *map = mvSMapCreate();
    int value = 1;
    mvSMapAssign(map, "installed", &value);
    int ok = mvSMapFind(map, "installed") == &value;
    mvSMapRemove(map, "installed");
    mvSMapDestroy(map);
    puts(ok ? "consumer ok" : "consumer FAILED");
    return !ok;
}
