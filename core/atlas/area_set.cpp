#include "core/atlas/area_set.h"

#include <cstdint>
#include <cstdlib>

namespace {

size_t home(const AreaSet *set, const void *item) {
    uint64_t key = reinterpret_cast<uintptr_t>(item);
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 32) & (set->capacity - 1);
}

size_t find(const AreaSet *set, const void *item) {
    size_t i = home(set, item);
    while (set->slots[i] && set->slots[i] != item) i = (i + 1) & (set->capacity - 1);
    return i;
}

bool resize(AreaSet *set, size_t capacity) {
    void **slots = static_cast<void **>(calloc(capacity, sizeof(void *)));
    if (!slots) return false;
    AreaSet grown = {slots, capacity, 0};
    for (size_t i = 0; i < set->capacity; i++)
        if (set->slots[i]) areaSetAdd(&grown, set->slots[i]);
    free(set->slots);
    *set = grown;
    return true;
}

}  // namespace

bool areaSetReserve(AreaSet *set) {
    if (2 * (set->count + 1) <= set->capacity) return true;
    return resize(set, set->capacity ? 2 * set->capacity : 16);
}

void areaSetAdd(AreaSet *set, void *item) {
    set->slots[find(set, item)] = item;
    set->count++;
}

bool areaSetHas(const AreaSet *set, const void *item) {
    return item && set->capacity && set->slots[find(set, item)] == item;
}

bool areaSetRemove(AreaSet *set, const void *item) {
    if (!areaSetHas(set, item)) return false;
    size_t mask = set->capacity - 1, hole = find(set, item);
    set->slots[hole] = nullptr;
    set->count--;
    // Moves later members of the probe run back into the hole when their
    // home does not lie between the hole and where they are.
    for (size_t i = (hole + 1) & mask; set->slots[i]; i = (i + 1) & mask) {
        size_t want = home(set, set->slots[i]);
        if (((i - want) & mask) >= ((i - hole) & mask)) {
            set->slots[hole] = set->slots[i];
            set->slots[i] = nullptr;
            hole = i;
        }
    }
    // A set that has shrunk a lot gives memory back (when it can).
    if (set->capacity > 16 && 8 * set->count < set->capacity) resize(set, set->capacity / 2);
    return true;
}

void areaSetRelease(AreaSet *set) {
    free(set->slots);
    *set = {nullptr, 0, 0};
}
