// dladdr and Dl_info are not POSIX. FreeBSD declares them in <dlfcn.h> by
// default; glibc only with _GNU_SOURCE, which is asked for here and in no
// other file so that the rest of the engine compiles against plain POSIX.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1
#endif
#include "core/engine/own_directory.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

#ifdef PATH_MAX
constexpr size_t kDirectorySize = PATH_MAX;
#else
constexpr size_t kDirectorySize = 4096;
#endif

// The library's directory as an absolute path with every link resolved, or
// "" when it cannot be told.
char directory[kDirectorySize];

// The loader may know the library by the relative name it was found under
// ("lib/libMORVEN.so" through LD_LIBRARY_PATH=lib or a dlopen of that name),
// and that name means another place once the program changes directory. So
// the name is resolved while the library is being loaded, before the
// program's own code runs.
void resolveOwnDirectory() {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&ownDirectory), &info) || !info.dli_fname) return;
    char *real = realpath(info.dli_fname, nullptr);
    if (!real) return;
    const char *slash = strrchr(real, '/');
    size_t n = slash ? static_cast<size_t>(slash - real) : 0;
    if (real[0] == '/' && n + 1 <= sizeof directory) {
        memcpy(directory, real, n);
        directory[n] = '\0';
        if (n == 0) memcpy(directory, "/", 2);
    }
    free(real);
}

struct ResolveAtLoad {
    ResolveAtLoad() { resolveOwnDirectory(); }
} resolveAtLoad;

}  // namespace

bool ownDirectory(char *dir, size_t size) {
    size_t n = strlen(directory);
    if (n == 0 || n + 1 > size) return false;
    memcpy(dir, directory, n + 1);
    return true;
}
