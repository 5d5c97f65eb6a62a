#include "core/base/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool failWith(char *why, size_t whySize, const char *what, int error) {
    if (why && whySize) snprintf(why, whySize, "%s: %s", what, strerror(error));
    return false;
}

// Writes all of data, through short writes and interruptions.
bool writeAll(int fd, const void *data, size_t size, int *error) {
    const char *p = static_cast<const char *>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *error = n < 0 ? errno : EIO;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeDevice(const char *path, const void *data, size_t size, char *why, size_t whySize) {
    // Non-blocking open: a FIFO without a reader is refused at once.
    int fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return failWith(why, whySize, "cannot open it", errno);
    int flags = fcntl(fd, F_GETFL);
    int error = 0;
    bool ok = flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1;
    if (!ok) error = errno;
    if (ok) ok = writeAll(fd, data, size, &error);
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok || failWith(why, whySize, "cannot write it", error);
}

// Where the symbolic link at path leads, followed to its end: a malloc'd
// path (the caller frees it), or null with errno set when the chain cannot
// be followed. A link to a file not there yet leads to where that file would
// be, so the file is made there and the link kept.
char *linkTarget(const char *path) {
    struct stat st;
    char *current = strdup(path);
    for (int hops = 0; current && hops < 40; hops++) {
        if (lstat(current, &st) != 0) {
            if (errno == ENOENT) return current;  // the dangling end
            break;
        }
        if (!S_ISLNK(st.st_mode)) return current;
        char target[4096];
        ssize_t n = readlink(current, target, sizeof target - 1);
        if (n < 0) break;
        target[n] = '\0';
        const char *slash = strrchr(current, '/');
        size_t dirLength = target[0] != '/' && slash ? static_cast<size_t>(slash - current) + 1 : 0;
        char *next = static_cast<char *>(malloc(dirLength + static_cast<size_t>(n) + 1));
        if (next) {
            memcpy(next, current, dirLength);
            memcpy(next + dirLength, target, static_cast<size_t>(n) + 1);
        }
        free(current);
        current = next;
    }
    if (current) errno = ELOOP;
    free(current);
    return nullptr;
}

bool replaceAt(const char *path, const void *data, size_t size, char *why, size_t whySize);

}  // namespace

bool replaceFile(const char *path, const void *data, size_t size, char *why, size_t whySize) {
    if (why && whySize) why[0] = '\0';
    // A link is written through: the file it leads to is replaced, the link stays.
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        char *target = linkTarget(path);
        if (!target) return failWith(why, whySize, "cannot follow the link", errno);
        bool ok = replaceAt(target, data, size, why, whySize);
        free(target);
        return ok;
    }
    return replaceAt(path, data, size, why, whySize);
}

namespace {

bool replaceAt(const char *path, const void *data, size_t size, char *why, size_t whySize) {
    struct stat st;
    if (stat(path, &st) == 0) {
        if (S_ISDIR(st.st_mode)) return failWith(why, whySize, "cannot replace it", EISDIR);
        if (!S_ISREG(st.st_mode)) return writeDevice(path, data, size, why, whySize);
    }
    // The temporary file: ".<name>.<pid>.<n>.tmp" beside the target.
    const char *slash = strrchr(path, '/');
    size_t dirLength = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    size_t length = strlen(path) + 64;
    char *temporary = static_cast<char *>(malloc(length));
    if (!temporary) return failWith(why, whySize, "cannot write it", ENOMEM);
    int fd = -1;
    for (unsigned n = 0; n < 100 && fd < 0; n++) {
        snprintf(temporary, length, "%.*s.%s.%ld.%u.tmp", static_cast<int>(dirLength), path, path + dirLength,
                 static_cast<long>(getpid()), n);
        fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        int error = errno;
        free(temporary);
        return failWith(why, whySize, "cannot create a file in its directory", error);
    }
    int error = 0;
    const char *step = "cannot write it";
    bool ok = writeAll(fd, data, size, &error);
    if (ok && fsync(fd) != 0) {
        ok = false;
        error = errno;
        step = "cannot flush it to disk";
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
        step = "cannot close it";
    }
    if (ok && rename(temporary, path) != 0) {
        ok = false;
        error = errno;
        step = "cannot put it in place";
    }
    if (!ok) {
        unlink(temporary);
        free(temporary);
        return failWith(why, whySize, step, error);
    }
    free(temporary);
    // The directory entry too, where the system allows it; a failure here
    // leaves a complete file, so it is not one.
    char *dir = dirLength ? strndup(path, dirLength) : nullptr;
    int dirFd = open(dir ? dir : ".", O_RDONLY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    free(dir);
    return true;
}

}  // namespace
