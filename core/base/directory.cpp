// Directory reading over opendir/readdir.
#include <morven/directory.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "core/base/error.h"

struct MVDirectory {
    DIR *dir;
};

namespace {

bool isDots(const char *name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

MVDirectoryEntryType typeFromMode(mode_t mode) {
    if (S_ISREG(mode)) return MV_DIRECTORY_ENTRY_FILE;
    if (S_ISDIR(mode)) return MV_DIRECTORY_ENTRY_DIRECTORY;
    if (S_ISLNK(mode)) return MV_DIRECTORY_ENTRY_LINK;
    return MV_DIRECTORY_ENTRY_OTHER;
}

// The entry's kind from readdir, asking the file system when readdir did not say.
MVDirectoryEntryType entryType(DIR *dir, const struct dirent *entry) {
#ifdef DT_UNKNOWN
    switch (entry->d_type) {
    case DT_REG: return MV_DIRECTORY_ENTRY_FILE;
    case DT_DIR: return MV_DIRECTORY_ENTRY_DIRECTORY;
    case DT_LNK: return MV_DIRECTORY_ENTRY_LINK;
    case DT_UNKNOWN: break;
    default: return MV_DIRECTORY_ENTRY_OTHER;
    }
#endif
    struct stat st;
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return MV_DIRECTORY_ENTRY_UNKNOWN;
    return typeFromMode(st.st_mode);
}

}  // namespace

extern "C" {

MV_API MVDirectory *mvDirectoryOpen(const char *path) {
    if (!path) {
        mvCoreSetError("mvDirectoryOpen: no path");
        errno = EINVAL;
        return nullptr;
    }
    DIR *d = opendir(path);
    if (!d) {
        int error = errno;
        setSystemError(error, "cannot open directory %s", path);
        errno = error;
        return nullptr;
    }
    MVDirectory *dir = static_cast<MVDirectory *>(std::malloc(sizeof(MVDirectory)));
    if (!dir) {
        closedir(d);
        mvCoreSetError("mvDirectoryOpen: out of memory");
        errno = ENOMEM;
        return nullptr;
    }
    dir->dir = d;
    return dir;
}

MV_API const char *mvDirectoryNext(MVDirectory *dir, MVDirectoryEntryType *type, int flags) {
    if (!dir) return nullptr;
    if (flags & ~(MV_DIRECTORY_SKIP_DOTS | MV_DIRECTORY_SKIP_HIDDEN)) {
        refuseArgument(__func__, "flags", "0 or MV_DIRECTORY_SKIP_ flags", flags);
        return nullptr;
    }
    for (;;) {
        errno = 0;
        const struct dirent *entry = readdir(dir->dir);
        if (!entry) {
            if (errno) setSystemError(errno, "cannot read a directory");
            return nullptr;
        }
        const char *name = entry->d_name;
        if ((flags & MV_DIRECTORY_SKIP_HIDDEN) && name[0] == '.') continue;
        if ((flags & MV_DIRECTORY_SKIP_DOTS) && isDots(name)) continue;
        if (type) *type = entryType(dir->dir, entry);
        return name;
    }
}

MV_API void mvDirectoryClose(MVDirectory *dir) {
    if (!dir) return;
    closedir(dir->dir);
    std::free(dir);
}

}  // extern "C"
