// Writes an input script while a live session runs.
#include "core/engine/recorder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"
#include "core/engine/replay_format.h"

struct Recorder {
    char *path;       // where the recording goes when finished
    char *partPath;   // where it is written meanwhile
    FILE *file;       // null once a write failed
    int savedErrno;   // why it failed
};

namespace {

// Notes the first failed write; later lines are dropped.
void fail(Recorder *r) {
    if (!r->file) return;
    r->savedErrno = errno ? errno : EIO;
    fclose(r->file);
    r->file = nullptr;
    fprintf(stderr, "MORVEN: recording %s stopped: %s\n", r->path, strerror(r->savedErrno));
}

void line(Recorder *r, const char *format, ...) __attribute__((format(printf, 2, 3)));

void line(Recorder *r, const char *format, ...) {
    if (!r->file) return;
    va_list args;
    va_start(args, format);
    errno = 0;
    int n = vfprintf(r->file, format, args);
    va_end(args);
    if (n < 0) fail(r);
}

}  // namespace

Recorder *recorderStart(const char *path) {
    Recorder *r = static_cast<Recorder *>(calloc(1, sizeof(Recorder)));
    size_t n = strlen(path);
    if (r) {
        r->path = static_cast<char *>(malloc(n + 1));
        r->partPath = static_cast<char *>(malloc(n + 8));
    }
    if (!r || !r->path || !r->partPath) {
        if (r) free(r->path);
        if (r) free(r->partPath);
        free(r);
        setError("cannot record input to %s: out of memory", path);
        return nullptr;
    }
    memcpy(r->path, path, n + 1);
    snprintf(r->partPath, n + 8, "%s.XXXXXX", path);
    int fd = mkstemp(r->partPath);
    if (fd < 0 || !(r->file = fdopen(fd, "w"))) {
        setError("cannot record input to %s: %s", path, strerror(errno));
        if (fd >= 0) {
            close(fd);
            unlink(r->partPath);
        }
        free(r->path);
        free(r->partPath);
        free(r);
        return nullptr;
    }
    // mkstemp makes the file private; a recording is an ordinary file.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    line(r, "# MORVEN input recording: replay it with MORVEN_INPUT_SCRIPT\n");
    return r;
}

void recorderEvent(Recorder *r, uint64_t frame, const MVPlatformEvent &e) {
    char x[32], y[32];
    switch (e.kind) {
    case MV_PLATFORM_KEY_DOWN:
    case MV_PLATFORM_KEY_UP:
        if (const char *name = keyName(e.key))
            line(r, "%" PRIu64 " %s %s\n", frame, e.kind == MV_PLATFORM_KEY_DOWN ? "press" : "release", name);
        break;
    case MV_PLATFORM_MOUSE_DOWN:
    case MV_PLATFORM_MOUSE_UP:
        for (unsigned b = 0; b < 3; b++)
            if (e.button == 1u << b)
                line(r, "%" PRIu64 " %s mouse%u\n", frame, e.kind == MV_PLATFORM_MOUSE_DOWN ? "press" : "release",
                     b + 1);
        break;
    case MV_PLATFORM_MOUSE_MOVE:
        if (formatNumber(e.x, x) && formatNumber(e.y, y)) line(r, "%" PRIu64 " mouse %s %s\n", frame, x, y);
        break;
    case MV_PLATFORM_WHEEL:
        if (formatNumber(e.y, y)) line(r, "%" PRIu64 " wheel %s\n", frame, y);
        break;
    case MV_PLATFORM_PAD_ADDED:
    case MV_PLATFORM_PAD_REMOVED:
        line(r, "%" PRIu64 " %s %d\n", frame, e.kind == MV_PLATFORM_PAD_ADDED ? "padadd" : "padremove",
             static_cast<int>(e.key));
        break;
    case MV_PLATFORM_PAD_DOWN:
    case MV_PLATFORM_PAD_UP:
        if (const char *name = padButtonName(static_cast<int>(e.button)))
            line(r, "%" PRIu64 " %s %d %s\n", frame, e.kind == MV_PLATFORM_PAD_DOWN ? "padpress" : "padrelease",
                 static_cast<int>(e.key), name);
        break;
    case MV_PLATFORM_PAD_AXIS:
        if (const char *name = padAxisName(static_cast<int>(e.button)))
            if (formatNumber(e.x, x)) line(r, "%" PRIu64 " padaxis %d %s %s\n", frame, static_cast<int>(e.key), name, x);
        break;
    case MV_PLATFORM_RESIZE:
        line(r, "%" PRIu64 " resize %d %d\n", frame, static_cast<int>(e.x), static_cast<int>(e.y));
        break;
    case MV_PLATFORM_TEXT:
        if (e.text && *e.text && printableUtf8(reinterpret_cast<const unsigned char *>(e.text), strlen(e.text)))
            line(r, "%" PRIu64 " text %s\n", frame, e.text);
        break;
    default: break;
    }
}

void recorderWord(Recorder *r, uint64_t frame, const char *word) { line(r, "%" PRIu64 " %s\n", frame, word); }

void recorderFrameTime(Recorder *r, uint64_t frame, uint64_t ns) {
    line(r, "%" PRIu64 " frametime %" PRIu64 "\n", frame, ns);
    errno = 0;
    if (r->file && fflush(r->file) != 0) fail(r);
}

bool recorderFinish(Recorder *r) {
    bool ok = false;
    if (r->file) {
        errno = 0;
        bool written = fflush(r->file) == 0 && fsync(fileno(r->file)) == 0;
        if (!written) r->savedErrno = errno ? errno : EIO;
        if (fclose(r->file) != 0 && written) {
            written = false;
            r->savedErrno = errno ? errno : EIO;
        }
        r->file = nullptr;
        if (written && rename(r->partPath, r->path) != 0) {
            written = false;
            r->savedErrno = errno;
        }
        ok = written;
        if (!ok) fprintf(stderr, "MORVEN: recording %s not written: %s\n", r->path, strerror(r->savedErrno));
    }
    if (!ok) {
        setError("recording %s not written: %s", r->path, strerror(r->savedErrno ? r->savedErrno : EIO));
        unlink(r->partPath);
    }
    free(r->path);
    free(r->partPath);
    free(r);
    return ok;
}
