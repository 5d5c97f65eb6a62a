// The "Sound" module: sound files decoded by libsndfile (WAV, FLAC, Ogg
// Vorbis, Ogg Opus, ...) and resampled to the mixer's rate by libsamplerate.
// libsamplerate, rather than libsoxr, for its plain C code without run-time
// choice of processor instructions: the same samples on every machine, so a
// replay sounds the same everywhere, at a quality (its medium sinc
// converter, 97 dB) well past what games need.
#include <samplerate.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/engine/plugin.h"

namespace {

char lastError[512] = "";

void fail(const char *format, const char *detail = "") { snprintf(lastError, sizeof lastError, format, detail); }

constexpr int kLowestRate = 1000, kHighestRate = 384000;
constexpr int kConverter = SRC_SINC_MEDIUM_QUALITY;

// libsndfile's virtual I/O over bytes in memory.
struct Memory {
    const uint8_t *data;
    sf_count_t size, pos;
};

sf_count_t memoryLength(void *user) { return static_cast<Memory *>(user)->size; }

sf_count_t memorySeek(sf_count_t offset, int whence, void *user) {
    Memory *m = static_cast<Memory *>(user);
    sf_count_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    if (offset > m->size - base || offset < -base) return -1;
    m->pos = base + offset;
    return m->pos;
}

sf_count_t memoryRead(void *ptr, sf_count_t count, void *user) {
    Memory *m = static_cast<Memory *>(user);
    sf_count_t left = m->size - m->pos;
    if (count > left) count = left;
    if (count <= 0) return 0;
    memcpy(ptr, m->data + m->pos, static_cast<size_t>(count));
    m->pos += count;
    return count;
}

sf_count_t memoryWrite(const void *, sf_count_t, void *) { return 0; }
sf_count_t memoryTell(void *user) { return static_cast<Memory *>(user)->pos; }

SF_VIRTUAL_IO memoryIo = {memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};

// libsndfile reads what there is of a cut file and notes the cut in its
// log: a WAV data chunk longer than the file ("data : 176400 (should be
// 88178)"; a length of 0 or 0xffffffff is a stream's, written before its
// end was known), and an Ogg stream without its last page. That last note
// counts only for streams whose length is not known up front (Opus): for
// those that have it (Vorbis) a shortfall shows in the frames read, and
// libsndfile's own Vorbis files lack the mark.
bool cutShort(SNDFILE *sf, const SF_INFO &info) {
    char log[4096];
    sf_command(sf, SFC_GET_LOG_INFO, log, sizeof log);
    if (info.frames == SF_COUNT_MAX && strstr(log, "without an End-Of-Stream")) return true;
    for (const char *line = strstr(log, "\ndata : "); line; line = strstr(line + 1, "\ndata : ")) {
        long long declared = 0, actual = 0;
        if (sscanf(line, "\ndata : %lld (should be %lld)", &declared, &actual) == 2 && declared > actual &&
            declared != 0xffffffffLL)
            return true;
    }
    return false;
}

// Opens and checks what the mixer can play; null with the reason noted.
SNDFILE *openChecked(const char *path, Memory *memory, SF_INFO *info) {
    memset(info, 0, sizeof *info);
    SNDFILE *sf = path ? sf_open(path, SFM_READ, info) : sf_open_virtual(&memoryIo, SFM_READ, info, memory);
    if (!sf) {
        fail("%s", sf_strerror(nullptr));
        return nullptr;
    }
    char detail[96];
    if (info->channels < 1 || info->channels > 2) {
        snprintf(detail, sizeof detail, "%d channels (only mono and stereo play)", info->channels);
    } else if (info->samplerate < kLowestRate || info->samplerate > kHighestRate) {
        snprintf(detail, sizeof detail, "unsupported rate of %d frames a second", info->samplerate);
    } else {
        if (!cutShort(sf, *info)) return sf;
        snprintf(detail, sizeof detail, "truncated: the file ends before its data does");
    }
    fail("%s", detail);
    sf_close(sf);
    return nullptr;
}

bool allFinite(const float *samples, size_t count) {
    for (size_t i = 0; i < count; i++)
        if (!std::isfinite(samples[i])) return false;
    return true;
}

float *resampleAll(const float *samples, int frames, int channels, int fromRate, int toRate, int *outFrames) {
    double ratio = static_cast<double>(toRate) / fromRate;
    double estimate = std::ceil(frames * ratio) + 64;
    if (estimate > 0x7fffffff / 2) {
        fail("%s", "too long to resample");
        return nullptr;
    }
    long room = static_cast<long>(estimate);
    float *out = static_cast<float *>(malloc(sizeof(float) * static_cast<size_t>(room) * channels));
    if (!out) {
        fail("%s", "out of memory");
        return nullptr;
    }
    SRC_DATA d = {};
    d.data_in = samples;
    d.input_frames = frames;
    d.data_out = out;
    d.output_frames = room;
    d.end_of_input = 1;
    d.src_ratio = ratio;
    int error = src_simple(&d, kConverter, channels);
    if (error) {
        free(out);
        fail("resampling failed: %s", src_strerror(error));
        return nullptr;
    }
    *outFrames = static_cast<int>(d.output_frames_gen);
    return out;
}

float *decode(const char *path, const void *data, size_t size, int rate, int maxFrames, int *frames, int *channels) {
    Memory memory = {static_cast<const uint8_t *>(data), static_cast<sf_count_t>(size), 0};
    SF_INFO info;
    SNDFILE *sf = openChecked(path, &memory, &info);
    if (!sf) return nullptr;
    const int ch = info.channels;
    // Frames allowed at the file's rate for maxFrames at the mixer's.
    const double most = static_cast<double>(maxFrames) * info.samplerate / rate;
    if (info.frames != SF_COUNT_MAX && info.frames > most) {
        fail("%s", "longer than ten minutes (play it as music)");
        sf_close(sf);
        return nullptr;
    }
    // Read in growing steps rather than trusting the header's length.
    size_t capacity = 0, count = 0;
    float *samples = nullptr;
    const char *why = nullptr;
    for (;;) {
        if (count == capacity) {
            size_t grown = capacity ? capacity * 2 : 16384;
            if (grown > most + 1) grown = static_cast<size_t>(most) + 1;
            if (grown <= count) {
                why = "longer than ten minutes (play it as music)";
                break;
            }
            float *more = static_cast<float *>(realloc(samples, sizeof(float) * grown * ch));
            if (!more) {
                why = "out of memory";
                break;
            }
            samples = more;
            capacity = grown;
        }
        sf_count_t got = sf_readf_float(sf, samples + count * ch, static_cast<sf_count_t>(capacity - count));
        if (got <= 0) break;
        count += static_cast<size_t>(got);
    }
    char detail[128];
    if (why) {
    } else if (sf_error(sf) != SF_ERR_NO_ERROR) {
        snprintf(detail, sizeof detail, "corrupt: %s", sf_strerror(sf));
        why = detail;
    } else if (info.frames != SF_COUNT_MAX && static_cast<sf_count_t>(count) < info.frames) {
        snprintf(detail, sizeof detail, "truncated: %zu of %lld frames", count, static_cast<long long>(info.frames));
        why = detail;
    } else if (cutShort(sf, info)) {
        why = "truncated: the file ends before its data does";
    } else if (count == 0) {
        why = "no samples";
    } else if (!allFinite(samples, count * ch)) {
        why = "holds samples that are not numbers";
    }
    sf_close(sf);
    if (why) {
        fail("%s", why);
        free(samples);
        return nullptr;
    }
    *channels = ch;
    if (info.samplerate == rate) {
        *frames = static_cast<int>(count);
        return samples;
    }
    float *out = resampleAll(samples, static_cast<int>(count), ch, info.samplerate, rate, frames);
    free(samples);
    return out;
}

float *resample(const float *samples, int frames, int channels, int fromRate, int toRate, int *outFrames) {
    lastError[0] = '\0';
    return resampleAll(samples, frames, channels, fromRate, toRate, outFrames);
}

void release(float *samples) { free(samples); }

// A file played while it is read: libsndfile's frames through a streaming
// converter, which runs on across the loop point so that the join is seamless.
constexpr int kStreamFrames = 4096;
struct Stream {
    SNDFILE *sf;
    SRC_STATE *converter;  // null when the file is at the mixer's rate
    double ratio;
    int channels;
    long inPos, inCount;
    bool ended;
    float in[kStreamFrames * 2];
};

void *streamOpen(const char *path, int rate, int *channels) {
    SF_INFO info;
    SNDFILE *sf = openChecked(path, nullptr, &info);
    if (!sf) return nullptr;
    Stream *s = static_cast<Stream *>(calloc(1, sizeof(Stream)));
    int error = 0;
    if (s && info.samplerate != rate && !(s->converter = src_new(kConverter, info.channels, &error))) {
        fail("no converter: %s", src_strerror(error));
        free(s);
        sf_close(sf);
        return nullptr;
    }
    if (!s) {
        fail("%s", "out of memory");
        sf_close(sf);
        return nullptr;
    }
    s->sf = sf;
    s->ratio = static_cast<double>(rate) / info.samplerate;
    s->channels = info.channels;
    *channels = info.channels;
    return s;
}

// Refills the input from the file, from its start again when looping.
bool streamFill(Stream *s, bool loop) {
    sf_count_t n = sf_readf_float(s->sf, s->in, kStreamFrames);
    if (n == 0 && loop && sf_error(s->sf) == SF_ERR_NO_ERROR) {
        if (sf_seek(s->sf, 0, SEEK_SET) < 0) {
            fail("%s", "cannot go back to the start");
            return false;
        }
        n = sf_readf_float(s->sf, s->in, kStreamFrames);
    }
    if (sf_error(s->sf) != SF_ERR_NO_ERROR) {
        fail("corrupt: %s", sf_strerror(s->sf));
        return false;
    }
    if (n > 0 && !allFinite(s->in, static_cast<size_t>(n) * s->channels)) {
        fail("%s", "holds samples that are not numbers");
        return false;
    }
    s->inPos = 0;
    s->inCount = static_cast<long>(n);
    s->ended = n == 0;
    return true;
}

int streamRead(void *stream, float *out, int frames, bool loop) {
    Stream *s = static_cast<Stream *>(stream);
    const int ch = s->channels;
    int produced = 0;
    while (produced < frames) {
        if (s->inPos == s->inCount && !s->ended && !streamFill(s, loop)) return -1;
        if (!s->converter) {
            if (s->inPos == s->inCount) break;
            long n = s->inCount - s->inPos;
            if (n > frames - produced) n = frames - produced;
            memcpy(out + static_cast<size_t>(produced) * ch, s->in + s->inPos * ch, sizeof(float) * n * ch);
            s->inPos += n;
            produced += static_cast<int>(n);
            continue;
        }
        SRC_DATA d = {};
        d.data_in = s->in + s->inPos * ch;
        d.input_frames = s->inCount - s->inPos;
        d.data_out = out + static_cast<size_t>(produced) * ch;
        d.output_frames = frames - produced;
        d.end_of_input = s->ended;
        d.src_ratio = s->ratio;
        int error = src_process(s->converter, &d);
        if (error) {
            fail("resampling failed: %s", src_strerror(error));
            return -1;
        }
        s->inPos += d.input_frames_used;
        produced += static_cast<int>(d.output_frames_gen);
        if (s->ended && d.output_frames_gen == 0) break;
    }
    return produced;
}

bool streamRewind(void *stream) {
    Stream *s = static_cast<Stream *>(stream);
    if (sf_seek(s->sf, 0, SEEK_SET) < 0) {
        fail("%s", "cannot go back to the start");
        return false;
    }
    if (s->converter) src_reset(s->converter);
    s->inPos = s->inCount = 0;
    s->ended = false;
    return true;
}

void streamClose(void *stream) {
    Stream *s = static_cast<Stream *>(stream);
    if (!s) return;
    if (s->converter) src_delete(s->converter);
    sf_close(s->sf);
    free(s);
}

float *decodeEntry(const char *path, const void *data, size_t size, int rate, int maxFrames, int *frames,
                   int *channels) {
    lastError[0] = '\0';
    return decode(path, data, size, rate, maxFrames, frames, channels);
}

const char *error() { return lastError; }

const MVPluginSoundFiles soundFiles = {decodeEntry, resample, release, streamOpen, streamRead, streamRewind,
                                       streamClose};

const MVPlugin plugin = {MV_PLUGIN_ABI, "Sound", nullptr, nullptr, nullptr, error, nullptr, &soundFiles, nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) const MVPlugin *mvPluginEntry() { return &plugin; }
