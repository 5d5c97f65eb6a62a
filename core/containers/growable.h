// A growable array of plain records on malloc: appends double the room when
// it runs out, and a failed allocation leaves the array as it was and says
// so, instead of throwing. Shared by every room that collects records.
#ifndef MORVEN_CORE_CONTAINERS_GROWABLE_H
#define MORVEN_CORE_CONTAINERS_GROWABLE_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

template <typename T>
struct Growable {
    static_assert(std::is_trivially_copyable<T>::value, "records are moved with realloc");

    T *items = nullptr;
    size_t count = 0, capacity = 0;

    // Room for at least n records; false (nothing changed) when memory runs out.
    bool reserve(size_t n) {
        if (n <= capacity) return true;
        size_t grown = capacity ? capacity : 64;
        while (grown < n) {
            if (grown > SIZE_MAX / 2 / sizeof(T)) return false;
            grown *= 2;
        }
        void *p = std::realloc(items, grown * sizeof(T));
        if (!p) return false;
        items = static_cast<T *>(p);
        capacity = grown;
        return true;
    }

    // Adds v at the end; false when memory runs out.
    bool append(const T &v) {
        if (count == capacity && !reserve(count + 1)) return false;
        items[count++] = v;
        return true;
    }

    // Room for n more records at the end, counted as used; null when memory runs out.
    T *extend(size_t n) {
        if (n > SIZE_MAX - count || !reserve(count + n)) return nullptr;
        T *start = items + count;
        count += n;
        return start;
    }

    void clear() { count = 0; }

    void release() {
        std::free(items);
        items = nullptr;
        count = capacity = 0;
    }
};

#endif
