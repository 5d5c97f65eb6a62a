/* Opens the library by a relative name, as a program run with
 * LD_LIBRARY_PATH=lib or a script using dlopen("lib/...") does, then moves
 * into another directory and asks for each module. Usage:
 *   relative_probe <library, relative> <directory to move to>
 * Prints each answer of mvLoadModule with mvGetError; exits 0 when every
 * call returned within the alarm. */
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

typedef int (*LoadModule)(const char *);
typedef const char *(*GetError)(void);

int main(int argc, char **argv) {
    static const char *const names[] = {"SDL", "OpenGL", "STB-Image"};
    void *library;
    LoadModule load;
    GetError error;
    unsigned i;
    if (argc != 3) return 2;
    library = dlopen(argv[1], RTLD_NOW);
    if (!library) {
        fprintf(stderr, "relative_probe: %s\n", dlerror());
        return 2;
    }
    *(void **)&load = dlsym(library, "mvLoadModule");
    *(void **)&error = dlsym(library, "mvGetError");
    if (!load || !error || chdir(argv[2]) != 0) return 2;
    alarm(10); /* a module file that blocks its opener ends the probe */
    for (i = 0; i < sizeof names / sizeof names[0]; i++) {
        int loaded = load(names[i]);
        printf("%s: %s: %s\n", names[i], loaded ? "loaded" : "not loaded", error());
    }
    return 0;
}
