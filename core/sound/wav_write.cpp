// The capture's WAV files: RIFF with a 16-byte IEEE float format chunk, a
// fact chunk and the data, all little-endian whatever the machine.
#include "core/sound/wav_write.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"
#include "core/sound/mixer.h"

struct WavWriter {
    FILE *file;
    char *path;
    char *temporary;
    uint64_t frames;
    int error;       // errno of the first failure; 0: none
    bool tooLong;    // past what a WAV file can hold
};

namespace {

constexpr size_t kHeaderBytes = 56;
constexpr uint64_t kMostDataBytes = 0xffffffffu - kHeaderBytes;

void put16(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *p, uint32_t v) {
    put16(p, v & 0xffffu);
    put16(p + 2, v >> 16);
}

void header(uint8_t *h, uint64_t frames) {
    uint32_t data = static_cast<uint32_t>(frames * 8);
    memcpy(h, "RIFF", 4);
    put32(h + 4, static_cast<uint32_t>(kHeaderBytes - 8) + data);
    memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 3);  // IEEE float
    put16(h + 22, 2);
    put32(h + 24, kMixRate);
    put32(h + 28, kMixRate * 8);
    put16(h + 32, 8);
    put16(h + 34, 32);
    memcpy(h + 36, "fact", 4);
    put32(h + 40, 4);
    put32(h + 44, static_cast<uint32_t>(frames));
    memcpy(h + 48, "data", 4);
    put32(h + 52, data);
}

void release(WavWriter *wav) {
    free(wav->path);
    free(wav->temporary);
    free(wav);
}

}  // namespace

WavWriter *wavOpen(const char *path) {
    size_t n = strlen(path);
    WavWriter *wav = static_cast<WavWriter *>(calloc(1, sizeof(WavWriter)));
    char *name = static_cast<char *>(malloc(n + 1));
    char *temporary = static_cast<char *>(malloc(n + 16));
    if (!wav || !name || !temporary) {
        free(wav);
        free(name);
        free(temporary);
        setError("audio capture %s: out of memory", path);
        return nullptr;
    }
    memcpy(name, path, n + 1);
    snprintf(temporary, n + 16, "%s.tmp-XXXXXX", path);
    wav->path = name;
    wav->temporary = temporary;
    int fd = mkstemp(temporary);
    if (fd < 0 || !(wav->file = fdopen(fd, "wb"))) {
        setError("audio capture %s not written: %s", path, strerror(errno));
        if (fd >= 0) {
            close(fd);
            unlink(temporary);
        }
        release(wav);
        return nullptr;
    }
    uint8_t h[kHeaderBytes];
    header(h, 0);
    errno = 0;
    if (fwrite(h, 1, sizeof h, wav->file) != sizeof h) wav->error = errno ? errno : EIO;
    return wav;
}

bool wavWrite(WavWriter *wav, const float *frames, size_t count) {
    if (wav->error || wav->tooLong) return false;
    if ((wav->frames + count) * 8 > kMostDataBytes) {
        wav->tooLong = true;
        return false;
    }
    uint8_t block[4096];
    size_t samples = count * 2, done = 0;
    while (done < samples) {
        size_t n = samples - done < sizeof block / 4 ? samples - done : sizeof block / 4;
        for (size_t i = 0; i < n; i++) {
            uint32_t bits;
            memcpy(&bits, &frames[done + i], 4);
            put32(block + 4 * i, bits);
        }
        errno = 0;
        if (fwrite(block, 4, n, wav->file) != n) {
            wav->error = errno ? errno : EIO;
            return false;
        }
        done += n;
    }
    wav->frames += count;
    return true;
}

bool wavClose(WavWriter *wav) {
    if (!wav) return false;
    uint8_t h[kHeaderBytes];
    header(h, wav->frames);
    errno = 0;
    if (!wav->error && (fseek(wav->file, 0, SEEK_SET) != 0 || fwrite(h, 1, sizeof h, wav->file) != sizeof h ||
                        fflush(wav->file) != 0 || fsync(fileno(wav->file)) != 0))
        wav->error = errno ? errno : EIO;
    if (fclose(wav->file) != 0 && !wav->error) wav->error = errno ? errno : EIO;
    if (!wav->error && rename(wav->temporary, wav->path) != 0) wav->error = errno ? errno : EIO;
    bool ok = !wav->error;
    if (!ok) {
        unlink(wav->temporary);
        setError("audio capture %s not written: %s", wav->path, strerror(wav->error));
    } else if (wav->tooLong) {
        setError("audio capture %s: cut at the 4 GiB a WAV file holds", wav->path);
    }
    release(wav);
    return ok;
}
