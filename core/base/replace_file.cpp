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

}  // namespace

bool replaceFile(const char *path, const void *data, size_t size, char *why, size_t whySize) {
    if (why && whySize) why[0] = '\0';
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
