/* MORVEN: reading directories.
 *
 * A handle walks the entries of one directory in the order the system lists
 * them, "." and ".." included unless a flag skips them.
 *
 * Threads: any thread; a handle is used by one thread at a time. */
#ifndef MORVEN_DIRECTORY_H
#define MORVEN_DIRECTORY_H

#include <morven/defs.h>

MV_EXTERN_C_BEGIN

/** Opaque directory handle. */
typedef struct MVDirectory MVDirectory;

/** Kinds of entry reported by mvDirectoryNext. A symbolic link is reported as
 * a link, not as what it points to. */
typedef enum MVDirectoryEntryType {
    MV_DIRECTORY_ENTRY_UNKNOWN = 0, /* the kind could not be found out */
    MV_DIRECTORY_ENTRY_FILE = 1,
    MV_DIRECTORY_ENTRY_DIRECTORY = 2,
    MV_DIRECTORY_ENTRY_LINK = 3,
    MV_DIRECTORY_ENTRY_OTHER = 4    /* device, pipe, socket */
} MVDirectoryEntryType;

/** Flags for mvDirectoryNext; 0 yields every entry. */
enum {
    MV_DIRECTORY_SKIP_DOTS = 1,     /* leave out "." and ".." */
    MV_DIRECTORY_SKIP_HIDDEN = 2    /* leave out every name starting with "." */
};

/** Opens the directory at path for reading. Returns a handle the caller
 * releases with mvDirectoryClose, or null when the directory cannot be opened
 * (errno and mvGetError then tell why) or path is null. */
MV_API MVDirectory *mvDirectoryOpen(const char *path);

/** The next entry's name, or null at the end of the directory, on a read error
 * or for a null handle. The name belongs to the handle and stays valid until
 * the next call or mvDirectoryClose. When type is not null, the entry's kind
 * is stored there. flags is 0 or a combination of MV_DIRECTORY_SKIP_...;
 * other bits are refused (null). A read error and refused flags leave the
 * reason in mvGetError; the end of the directory leaves it as it was. */
MV_API const char *mvDirectoryNext(MVDirectory *dir, MVDirectoryEntryType *type, int flags);

/** Releases the handle. Null is ignored. */
MV_API void mvDirectoryClose(MVDirectory *dir);

MV_EXTERN_C_END

#endif
