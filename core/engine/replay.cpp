// Replayed input: parsing the script and feeding its events to the input
// state frame by frame.
#include "core/engine/replay.h"

#include <morven/input.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/engine/input_state.h"
#include "core/base/error.h"

namespace {

constexpr uint32_t kQuit = 0xFFFFu;  // an event kind of our own, beside MV_PLATFORM_*

struct ReplayEvent {
    uint64_t frame;
    uint32_t kind;  // MV_PLATFORM_* or kQuit
    int32_t key;
    uint32_t button;
    float x, y;
    size_t text;  // text events: offset of the text in the replay's pool
};

struct KeyName {
    const char *name;
    int key;
};

const KeyName namedKeys[] = {
    {"space", MV_KEY_SPACE}, {"enter", MV_KEY_ENTER},   {"escape", MV_KEY_ESCAPE}, {"tab", MV_KEY_TAB},
    {"backspace", MV_KEY_BACKSPACE}, {"left", MV_KEY_LEFT}, {"right", MV_KEY_RIGHT}, {"up", MV_KEY_UP},
    {"down", MV_KEY_DOWN},   {"shift", MV_KEY_SHIFT},   {"ctrl", MV_KEY_CTRL},     {"alt", MV_KEY_ALT},
};

}  // namespace

struct Replay {
    ReplayEvent *events;
    size_t count, capacity;
    char *pool;  // the texts of text events, each zero-terminated
    size_t poolLength, poolCapacity;
    size_t next;  // first event not yet applied
};

namespace {

// A key name as in the script ("a", "f1", "space") to its code; 0 if none.
int keyFromName(const char *name, size_t n) {
    if (n == 1 && name[0] >= 'a' && name[0] <= 'z') return MV_KEY_A + (name[0] - 'a');
    if (n == 1 && name[0] >= '0' && name[0] <= '9') return MV_KEY_0 + (name[0] - '0');
    if ((n == 2 || n == 3) && name[0] == 'f' && name[1] >= '1' && name[1] <= '9') {
        int number = name[1] - '0';
        if (n == 3) {
            if (number != 1 || name[2] < '0' || name[2] > '2') return 0;
            number = 10 + (name[2] - '0');
        }
        return MV_KEY_F1 + number - 1;
    }
    for (const KeyName &k : namedKeys)
        if (strlen(k.name) == n && memcmp(k.name, name, n) == 0) return k.key;
    return 0;
}

// "mouse1" to "mouse3": left, right, middle, as the MV_MOUSE_* bits go.
unsigned buttonFromName(const char *name, size_t n) {
    if (n != 6 || memcmp(name, "mouse", 5) != 0 || name[5] < '1' || name[5] > '3') return 0;
    return 1u << (name[5] - '1');
}

// A decimal number ("-12", "3.25"), whatever the C locale says; false when
// the token is anything else or has more than 15 digits.
bool parseNumber(const char *token, size_t n, float *out) {
    size_t i = 0;
    bool negative = token[0] == '-';
    if (negative || token[0] == '+') i++;
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < n; i++) {
        if (token[i] == '.' && !point) {
            point = true;
        } else if (token[i] >= '0' && token[i] <= '9') {
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + static_cast<uint64_t>(token[i] - '0');
            decimals += point;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    double scale = 1.0;
    for (int d = 0; d < decimals; d++) scale *= 10.0;  // exact: at most 10^15
    double value = static_cast<double>(mantissa) / scale;
    *out = static_cast<float>(negative ? -value : value);
    return true;
}

// Well-formed UTF-8 without control characters.
bool printableUtf8(const unsigned char *s, size_t n) {
    for (size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F) return false;
            i++;
            continue;
        }
        size_t extra;
        uint32_t point;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            point = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            point = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            point = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra) return false;
        for (size_t k = 1; k <= extra; k++) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            point = (point << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
        if ((extra == 2 && point < 0x800) || (extra == 3 && (point < 0x10000 || point > 0x10FFFF)) ||
            (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// The next blank-separated token of [*p, end): its start and length; 0 at the end.
size_t nextToken(const char **p, const char *end, const char **token) {
    const char *s = *p;
    while (s < end && (*s == ' ' || *s == '\t')) s++;
    const char *t = s;
    while (t < end && *t != ' ' && *t != '\t') t++;
    *token = s;
    *p = t;
    return static_cast<size_t>(t - s);
}

bool push(Replay *r, const ReplayEvent &e) {
    if (r->count == r->capacity) {
        size_t capacity = r->capacity ? r->capacity * 2 : 32;
        void *grown = realloc(r->events, capacity * sizeof(ReplayEvent));
        if (!grown) return false;
        r->events = static_cast<ReplayEvent *>(grown);
        r->capacity = capacity;
    }
    r->events[r->count++] = e;
    return true;
}

bool pushText(Replay *r, const char *text, size_t n, size_t *offset) {
    if (r->poolCapacity - r->poolLength < n + 1) {
        size_t capacity = std::max(r->poolCapacity * 2, r->poolLength + n + 1);
        void *grown = realloc(r->pool, capacity);
        if (!grown) return false;
        r->pool = static_cast<char *>(grown);
        r->poolCapacity = capacity;
    }
    *offset = r->poolLength;
    memcpy(r->pool + r->poolLength, text, n);
    r->pool[r->poolLength + n] = '\0';
    r->poolLength += n + 1;
    return true;
}

// Parses one line (without its line end) into e. Null when it is an event;
// otherwise why not. *blank is set for empty and comment-only lines.
const char *parseLine(const char *line, size_t length, ReplayEvent *e, const char **text, size_t *textLength,
                      bool *blank) {
    const char *end = line + length;
    if (length > 0 && end[-1] == '\r') end--;
    *blank = false;
    if (memchr(line, '\0', static_cast<size_t>(end - line))) return "a zero byte in the line";
    // '#' starts a comment, except inside a text event's text (taken from the
    // whole line below).
    const char *hash = static_cast<const char *>(memchr(line, '#', static_cast<size_t>(end - line)));
    const char *uncommented = hash ? hash : end;
    const char *p = line, *token;
    size_t n = nextToken(&p, uncommented, &token);
    if (n == 0) {
        *blank = true;
        return "";
    }
    e->frame = 0;
    for (size_t i = 0; i < n; i++) {
        if (token[i] < '0' || token[i] > '9') return "the frame is not a whole number";
        uint64_t digit = static_cast<uint64_t>(token[i] - '0');
        if (e->frame > (UINT64_MAX - digit) / 10) return "the frame number is too large";
        e->frame = e->frame * 10 + digit;
    }
    const char *word;
    size_t wordLength = nextToken(&p, uncommented, &word);
    if (wordLength == 4 && memcmp(word, "text", 4) == 0) {
        // The text runs from after one blank to the end of the line, '#' included.
        if (p == end || (*p != ' ' && *p != '\t') || p + 1 == end) return "no text after \"text \"";
        *text = p + 1;
        *textLength = static_cast<size_t>(end - *text);
        if (!printableUtf8(reinterpret_cast<const unsigned char *>(*text), *textLength))
            return "the text is not printable UTF-8";
        e->kind = MV_PLATFORM_TEXT;
        return nullptr;
    }
    end = uncommented;
    const char *args[3];
    size_t lengths[3];
    int count = 0;
    for (size_t k; count < 3 && (k = nextToken(&p, end, &args[count])) != 0; count++) lengths[count] = k;
    if (wordLength == 4 && memcmp(word, "quit", 4) == 0) {
        if (count != 0) return "\"quit\" takes nothing after it";
        e->kind = kQuit;
    } else if (wordLength == 5 && memcmp(word, "mouse", 5) == 0) {
        if (count != 2 || !parseNumber(args[0], lengths[0], &e->x) || !parseNumber(args[1], lengths[1], &e->y))
            return "\"mouse\" needs two numbers, x and y";
        e->kind = MV_PLATFORM_MOUSE_MOVE;
    } else if (wordLength == 5 && memcmp(word, "wheel", 5) == 0) {
        if (count != 1 || !parseNumber(args[0], lengths[0], &e->y)) return "\"wheel\" needs one number";
        e->kind = MV_PLATFORM_WHEEL;
    } else if ((wordLength == 5 && memcmp(word, "press", 5) == 0) ||
               (wordLength == 7 && memcmp(word, "release", 7) == 0)) {
        bool press = wordLength == 5;
        if (count != 1) return "\"press\" and \"release\" need one key or button name";
        if ((e->key = keyFromName(args[0], lengths[0])) != 0) {
            e->kind = press ? MV_PLATFORM_KEY_DOWN : MV_PLATFORM_KEY_UP;
        } else if ((e->button = buttonFromName(args[0], lengths[0])) != 0) {
            e->kind = press ? MV_PLATFORM_MOUSE_DOWN : MV_PLATFORM_MOUSE_UP;
        } else {
            return "unknown key or button name";
        }
    } else {
        return "unknown event (mouse, press, release, text, wheel or quit)";
    }
    return nullptr;
}

bool byFrame(const ReplayEvent &a, const ReplayEvent &b) { return a.frame < b.frame; }

}  // namespace

Replay *replayParse(const char *script, size_t length, const char *name, FILE *warnings) {
    Replay *r = static_cast<Replay *>(calloc(1, sizeof(Replay)));
    if (!r) return nullptr;
    const char *end = script + length;
    unsigned long lineNumber = 0;
    for (const char *line = script; line < end;) {
        const char *newline = static_cast<const char *>(memchr(line, '\n', static_cast<size_t>(end - line)));
        const char *lineEnd = newline ? newline : end;
        lineNumber++;
        ReplayEvent e = {};
        const char *text = nullptr;
        size_t textLength = 0;
        bool blank = false;
        const char *why = parseLine(line, static_cast<size_t>(lineEnd - line), &e, &text, &textLength, &blank);
        if (why && !blank && warnings) {
            fprintf(warnings, "MORVEN: input script %s, line %lu: %s; line skipped\n", name, lineNumber, why);
        } else if (!why && (text ? !pushText(r, text, textLength, &e.text) || !push(r, e) : !push(r, e))) {
            replayFree(r);
            return nullptr;
        }
        line = newline ? newline + 1 : end;
    }
    // Lines may come in any order of frames; within a frame they keep theirs.
    if (!std::is_sorted(r->events, r->events + r->count, byFrame))
        std::stable_sort(r->events, r->events + r->count, byFrame);
    return r;
}

Replay *replayLoad(const char *path) {
    // Non-blocking, so that a FIFO named here cannot hold the open for ever;
    // it is refused just below with everything else that is not a plain file.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        mvCoreSetError("cannot open input script %s: %s", path, strerror(errno));
        return nullptr;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        mvCoreSetError("cannot open input script %s: %s", path, strerror(errno));
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        mvCoreSetError("input script %s is not a regular file", path);
        close(fd);
        return nullptr;
    }
    if (info.st_size > static_cast<off_t>(MV_INPUT_SCRIPT_MAX_BYTES)) {
        mvCoreSetError("input script %s is larger than %lu bytes", path,
                       static_cast<unsigned long>(MV_INPUT_SCRIPT_MAX_BYTES));
        close(fd);
        return nullptr;
    }
    // The file may still grow while it is read: the limit holds for what is read.
    size_t capacity = static_cast<size_t>(info.st_size) + 1;
    char *text = static_cast<char *>(malloc(capacity));
    if (!text) {
        mvCoreSetError("out of memory reading input script %s", path);
        close(fd);
        return nullptr;
    }
    size_t length = 0;
    bool failed = false;
    for (;;) {
        if (length == capacity) {
            if (capacity > MV_INPUT_SCRIPT_MAX_BYTES) {
                mvCoreSetError("input script %s is larger than %lu bytes", path,
                               static_cast<unsigned long>(MV_INPUT_SCRIPT_MAX_BYTES));
                failed = true;
                break;
            }
            size_t larger = std::min<size_t>(capacity * 2, MV_INPUT_SCRIPT_MAX_BYTES + 1);
            void *grown = realloc(text, larger);
            if (!grown) {
                mvCoreSetError("out of memory reading input script %s", path);
                failed = true;
                break;
            }
            text = static_cast<char *>(grown);
            capacity = larger;
        }
        ssize_t got = read(fd, text + length, capacity - length);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            mvCoreSetError("cannot read input script %s: %s", path, strerror(errno));
            failed = true;
            break;
        }
        if (got == 0) break;
        length += static_cast<size_t>(got);
    }
    close(fd);
    Replay *r = failed ? nullptr : replayParse(text, length, path, stderr);
    if (!failed && !r) mvCoreSetError("out of memory reading input script %s", path);
    free(text);
    return r;
}

void replayFree(Replay *r) {
    if (!r) return;
    free(r->events);
    free(r->pool);
    free(r);
}

bool replayApply(Replay *r, uint64_t frame) {
    bool quit = false;
    while (r->next < r->count && r->events[r->next].frame <= frame) {
        const ReplayEvent &e = r->events[r->next++];
        if (e.frame < frame) continue;  // a frame the loop never saw
        if (e.kind == kQuit) {
            quit = true;
            continue;
        }
        const char *text = e.kind == MV_PLATFORM_TEXT ? r->pool + e.text : nullptr;
        MVPlatformEvent event = {e.kind, e.key, e.button, e.x, e.y, text};
        if (inputApply(event)) quit = true;
    }
    return quit;
}

size_t replayEventCount(const Replay *r) { return r ? r->count : 0; }
