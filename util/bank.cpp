// Resource bank: named resources found through path patterns, loaded by the
// caller's callback and held in a string map under the requested name.
#include <morven/bank.h>
#include <morven/error.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/base/error.h"

static_assert(offsetof(MVBank, map) == 0 && offsetof(MVBank, path) == sizeof(void *) &&
                  offsetof(MVBank, load) == 2 * sizeof(void *) && offsetof(MVBank, unload) == 3 * sizeof(void *) &&
                  sizeof(MVBank) == 4 * sizeof(void *),
              "MVBank layout is part of the ABI");

namespace {

bool isSkippedBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v'; }

// Expands the alternative [p, end) with name into out and returns the
// expansion's length, without a terminating zero. With a null out it only
// measures, saturating at SIZE_MAX.
size_t expand(const char *p, const char *end, const char *name, size_t nameLen, char *out) {
    size_t n = 0;
    auto emit = [&](const char *bytes, size_t count) {
        if (out) std::memcpy(out + n, bytes, count);
        if (__builtin_add_overflow(n, count, &n)) n = SIZE_MAX;
    };
    while (p < end) {
        if (*p != '%') {
            emit(p++, 1);
            continue;
        }
        const char *percent = p++;
        while (p < end && isSkippedBlank(*p)) p++;
        if (p == end) break;  // an escape left open emits nothing
        if (*p == '%')
            emit("%", 1);
        else if (*p == 's')
            emit(name, nameLen);
        else
            emit(percent, size_t(p - percent) + 1);  // unknown escapes pass through
        p++;
    }
    return n;
}

// The reasons of a failed load, one per path tried, for mvGetError.
struct Attempts {
    char text[480];
    size_t used;
    void note(const char *path, const char *why) {
        if (used >= sizeof text) return;
        int n = snprintf(text + used, sizeof text - used, "%s%s (%s)", used ? "; " : "", path,
                         *why ? why : "not loaded, no reason given");
        used = n < 0 ? sizeof text : used + static_cast<size_t>(n);
    }
};

const char *alternativeEnd(const char *p) {
    const char *bar = std::strchr(p, '|');
    return bar ? bar : p + std::strlen(p);
}

// Moves past the "|" that ended an alternative; null when no alternative
// follows (the list ended, or ended with that "|").
const char *nextAlternative(const char *end) { return *end && end[1] ? end + 1 : nullptr; }

size_t longestExpansion(const char *list, const char *name, size_t nameLen) {
    size_t longest = 0;
    for (const char *p = list; p;) {
        const char *end = alternativeEnd(p);
        size_t n = expand(p, end, name, nameLen, nullptr);
        if (n > longest) longest = n;
        p = nextAlternative(end);
    }
    return longest;
}

}  // namespace

extern "C" {

MV_API MVBank *mvBankCreate(const char *path, MVBankLoadFunction load, MVBankUnloadFunction unload) {
    MVBank *bank = static_cast<MVBank *>(std::malloc(sizeof(MVBank)));
    if (bank) bank->map = mvSMapCreate();
    if (!bank || !bank->map) {
        std::free(bank);
        mvCoreSetError("mvBankCreate: out of memory");
        return nullptr;
    }
    const char *list = path ? path : "%s";
    size_t size = std::strlen(list) + 1;
    bank->path = static_cast<char *>(std::malloc(size));
    if (!bank->path) {
        mvSMapDestroy(bank->map);
        std::free(bank);
        mvCoreSetError("mvBankCreate: out of memory");
        return nullptr;
    }
    std::memcpy(bank->path, list, size);
    bank->load = load;
    bank->unload = unload;
    return bank;
}

MV_API void mvBankDestroy(MVBank *bank) {
    if (!bank) return;
    // The map's copies of the names are the bank's own memory; the resources are not.
    while (MVMapNode *entry = mvSMapPopFirst(bank->map)) std::free(entry->key);
    mvSMapDestroy(bank->map);
    std::free(bank->path);
    std::free(bank);
}

MV_API void mvBankUnloadAll(MVBank *bank) {
    if (!bank) return;
    // Each entry leaves the map before its resource is unloaded, so the
    // callback always sees a bank in order.
    while (MVMapNode *entry = mvSMapPopFirst(bank->map)) {
        void *resource = entry->value;
        std::free(entry->key);
        if (bank->unload) bank->unload(resource);
    }
}

MV_API void *mvBankLoad(MVBank *bank, const char *name, void *data) {
    if (void *held = mvSMapFind(bank->map, name)) return held;
    if (!bank->load) {
        mvCoreSetError("bank: no resource \"%s\": the bank has no load function", name);
        return nullptr;
    }
    size_t nameLen = std::strlen(name);
    size_t longest = longestExpansion(bank->path, name, nameLen);
    char *buffer = longest == SIZE_MAX ? nullptr : static_cast<char *>(std::malloc(longest + 1));
    if (!buffer) {
        mvCoreSetError("bank: no resource \"%s\": out of memory", name);
        return nullptr;
    }
    // A load that succeeds leaves the caller's last failure as it was.
    char previous[512];
    snprintf(previous, sizeof previous, "%s", mvGetError());
    void *resource = nullptr;
    Attempts attempts;
    attempts.text[0] = '\0';
    attempts.used = 0;
    for (const char *p = bank->path; p && !resource;) {
        const char *end = alternativeEnd(p);
        buffer[expand(p, end, name, nameLen, buffer)] = '\0';
        // The callback's own reason, when it gives one through mvGetError.
        mvClearError();
        resource = bank->load(buffer, data);
        if (!resource) attempts.note(buffer, mvGetError());
        p = nextAlternative(end);
    }
    std::free(buffer);
    if (resource) {
        mvSMapAssign(bank->map, name, resource);
        mvCoreSetError("%s", previous);
    } else
        mvCoreSetError("bank: no resource \"%s\": %s", name, attempts.used ? attempts.text : "no path to try");
    return resource;
}

MV_API void mvBankUnload(MVBank *bank, const char *name) {
    if (!name) return;
    void *resource = mvSMapFind(bank->map, name);
    if (!resource) return;
    if (bank->unload) bank->unload(resource);
    mvSMapRemove(bank->map, name);
}

}  // extern "C"
