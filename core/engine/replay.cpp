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
#include <new>

#include "core/engine/engine_state.h"
#include "core/engine/input_state.h"
#include "core/engine/replay_format.h"
#include "core/base/error.h"
#include "core/containers/growable.h"
#include "core/render/soft_renderer.h"

namespace {

// Event kinds of the replay's own, beside MV_PLATFORM_*.
constexpr uint32_t kQuit = 0xFFFFu;       // mvLoop ends
constexpr uint32_t kClose = 0xFFFEu;      // the window's close button
constexpr uint32_t kFrameTime = 0xFFFDu;  // the frame lasted ns nanoseconds

struct ReplayEvent {
    uint64_t frame;
    uint32_t kind;  // MV_PLATFORM_* or kQuit
    int32_t key;
    uint32_t button;
    float x, y;
    size_t text;  // text events: offset of the text in the replay's pool
    uint64_t ns;  // frame times
};

}  // namespace

struct Replay {
    Growable<ReplayEvent> events;
    Growable<char> pool;  // the texts of text events, each zero-terminated
    size_t next;          // first event not yet applied
};

namespace {

// Frame times beyond this (about 16 minutes) are refused as nonsense.
constexpr uint64_t kLongestFrameNs = 1000000000000u;

// A whole decimal number without sign, below 2^64.
bool parseWhole(const char *token, size_t n, uint64_t *out) {
    if (n == 0) return false;
    uint64_t value = 0;
    for (size_t i = 0; i < n; i++) {
        if (token[i] < '0' || token[i] > '9') return false;
        uint64_t digit = static_cast<uint64_t>(token[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    *out = value;
    return true;
}

bool is(const char *word, size_t n, const char *name) { return strlen(name) == n && memcmp(word, name, n) == 0; }

// A gamepad number, 0 to MV_PAD_MAX - 1.
bool parsePad(const char *token, size_t n, int32_t *pad) {
    uint64_t value;
    if (!parseWhole(token, n, &value) || value >= MV_PAD_MAX) return false;
    *pad = static_cast<int32_t>(value);
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

bool pushText(Replay *r, const char *text, size_t n, size_t *offset) {
    if (n == SIZE_MAX) return false;
    char *copy = r->pool.extend(n + 1);
    if (!copy) return false;
    memcpy(copy, text, n);
    copy[n] = '\0';
    *offset = static_cast<size_t>(copy - r->pool.items);
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
    const char *args[4];
    size_t lengths[4];
    int count = 0;
    for (size_t k; count < 4 && (k = nextToken(&p, end, &args[count])) != 0; count++) lengths[count] = k;
    if (wordLength == 4 && memcmp(word, "quit", 4) == 0) {
        if (count != 0) return "\"quit\" takes nothing after it";
        e->kind = kQuit;
    } else if (is(word, wordLength, "padadd") || is(word, wordLength, "padremove")) {
        if (count != 1 || !parsePad(args[0], lengths[0], &e->key)) return "\"padadd\" and \"padremove\" need a pad number";
        e->kind = wordLength == 6 ? MV_PLATFORM_PAD_ADDED : MV_PLATFORM_PAD_REMOVED;
    } else if (is(word, wordLength, "padpress") || is(word, wordLength, "padrelease")) {
        int button = count == 2 ? padButtonFromName(args[1], lengths[1]) : -1;
        if (button < 0 || !parsePad(args[0], lengths[0], &e->key))
            return "\"padpress\" and \"padrelease\" need a pad number and a button name";
        e->button = static_cast<uint32_t>(button);
        e->kind = wordLength == 8 ? MV_PLATFORM_PAD_DOWN : MV_PLATFORM_PAD_UP;
    } else if (is(word, wordLength, "padaxis")) {
        int axis = count == 3 ? padAxisFromName(args[1], lengths[1]) : -1;
        if (axis < 0 || !parsePad(args[0], lengths[0], &e->key) || !parseNumber(args[2], lengths[2], &e->x) ||
            e->x < -1.0f || e->x > 1.0f)
            return "\"padaxis\" needs a pad number, an axis name and a value from -1 to 1";
        e->button = static_cast<uint32_t>(axis);
        e->kind = MV_PLATFORM_PAD_AXIS;
    } else if (is(word, wordLength, "resize")) {
        uint64_t w = 0, h = 0;
        if (count != 2 || !parseWhole(args[0], lengths[0], &w) || !parseWhole(args[1], lengths[1], &h) || w < 1 ||
            h < 1 || w > kSoftMaxSide || h > kSoftMaxSide)
            return "\"resize\" needs a width and a height from 1 to 16384";
        e->x = static_cast<float>(w);
        e->y = static_cast<float>(h);
        e->kind = MV_PLATFORM_RESIZE;
    } else if (wordLength == 5 && memcmp(word, "close", 5) == 0) {
        if (count != 0) return "\"close\" takes nothing after it";
        e->kind = kClose;
    } else if (wordLength == 9 && memcmp(word, "frametime", 9) == 0) {
        if (count != 1 || !parseWhole(args[0], lengths[0], &e->ns) || e->ns > kLongestFrameNs)
            return "\"frametime\" needs a whole number of nanoseconds up to 10^12";
        e->kind = kFrameTime;
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
        return "unknown event (mouse, press, release, text, wheel, pad..., resize, close, frametime or quit)";
    }
    return nullptr;
}

bool byFrame(const ReplayEvent &a, const ReplayEvent &b) { return a.frame < b.frame; }

}  // namespace

Replay *replayParse(const char *script, size_t length, const char *name, FILE *warnings) {
    void *memory = malloc(sizeof(Replay));
    if (!memory) return nullptr;
    Replay *r = new (memory) Replay{};
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
        } else if (!why && (text ? !pushText(r, text, textLength, &e.text) || !r->events.append(e) : !r->events.append(e))) {
            replayFree(r);
            return nullptr;
        }
        line = newline ? newline + 1 : end;
    }
    // Lines may come in any order of frames; within a frame they keep theirs.
    ReplayEvent *events = r->events.items;
    if (!std::is_sorted(events, events + r->events.count, byFrame))
        std::stable_sort(events, events + r->events.count, byFrame);
    return r;
}

Replay *replayLoad(const char *path) {
    // Non-blocking, so that a FIFO named here cannot hold the open for ever;
    // it is refused just below with everything else that is not a plain file.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setError("cannot open input script %s: %s", path, strerror(errno));
        return nullptr;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        setError("cannot open input script %s: %s", path, strerror(errno));
        close(fd);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        setError("input script %s is not a regular file", path);
        close(fd);
        return nullptr;
    }
    if (info.st_size > static_cast<off_t>(MV_INPUT_SCRIPT_MAX_BYTES)) {
        setError("input script %s is larger than %lu bytes", path,
                       static_cast<unsigned long>(MV_INPUT_SCRIPT_MAX_BYTES));
        close(fd);
        return nullptr;
    }
    // The file may still grow while it is read: the limit holds for what is read.
    Growable<char> text;
    if (!text.reserve(static_cast<size_t>(info.st_size) + 1)) {
        setError("out of memory reading input script %s", path);
        close(fd);
        return nullptr;
    }
    constexpr size_t kMostRead = MV_INPUT_SCRIPT_MAX_BYTES + 1;
    bool failed = false;
    for (;;) {
        size_t room = std::min(text.capacity, kMostRead);
        if (text.count == room) {
            if (room == kMostRead) {
                setError("input script %s is larger than %lu bytes", path,
                         static_cast<unsigned long>(MV_INPUT_SCRIPT_MAX_BYTES));
                failed = true;
                break;
            }
            if (!text.reserve(text.count + 1)) {
                setError("out of memory reading input script %s", path);
                failed = true;
                break;
            }
            continue;
        }
        ssize_t got = read(fd, text.items + text.count, room - text.count);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            setError("cannot read input script %s: %s", path, strerror(errno));
            failed = true;
            break;
        }
        if (got == 0) break;
        text.count += static_cast<size_t>(got);
    }
    close(fd);
    Replay *r = failed ? nullptr : replayParse(text.items, text.count, path, stderr);
    if (!failed && !r) setError("out of memory reading input script %s", path);
    text.release();
    return r;
}

void replayFree(Replay *r) {
    if (!r) return;
    r->events.release();
    r->pool.release();
    free(r);
}

void replayApply(Replay *r, uint64_t frame, ReplayFrame *out) {
    *out = ReplayFrame{};
    while (r->next < r->events.count && r->events.items[r->next].frame <= frame) {
        const ReplayEvent &e = r->events.items[r->next++];
        if (e.frame < frame) continue;  // a frame the loop never saw
        if (e.kind == kQuit) {
            out->quit = true;
        } else if (e.kind == kClose) {
            out->close = true;
        } else if (e.kind == kFrameTime) {
            out->timed = true;
            out->frameNs = e.ns;
        } else if (e.kind == MV_PLATFORM_RESIZE) {
            engineReplayedResize(static_cast<int>(e.x), static_cast<int>(e.y));
        } else {
            const char *text = e.kind == MV_PLATFORM_TEXT ? r->pool.items + e.text : nullptr;
            MVPlatformEvent event = {e.kind, e.key, e.button, e.x, e.y, text};
            if (inputApply(event)) out->escape = true;
        }
    }
}

size_t replayEventCount(const Replay *r) { return r ? r->events.count : 0; }
