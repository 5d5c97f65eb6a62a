// dladdr and Dl_info are not POSIX. FreeBSD declares them in <dlfcn.h> by
// default; glibc only with _GNU_SOURCE, which is asked for here and in no
// other file so that the rest of the engine compiles against plain POSIX.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE 1
#endif
#include "core/engine/own_directory.h"

#include <dlfcn.h>

#include <cstring>

bool ownDirectory(char *dir, size_t size) {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&ownDirectory), &info) || !info.dli_fname) return false;
    const char *slash = strrchr(info.dli_fname, '/');
    if (!slash) return false;
    size_t n = static_cast<size_t>(slash - info.dli_fname);
    if (n + 1 > size) return false;
    memcpy(dir, info.dli_fname, n);
    dir[n] = '\0';
    return true;
}
