// Fuzzes map (string-ordered and integer-keyed), set and string map with an
// operation stream, checked against std::map / std::set by the containers'
// model drivers, with the trees' invariants checked as it goes. Keys come
// from fixed tables.
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "map_model.h"
#include "set_model.h"
#include "smap_model.h"

namespace {

// Keys with shared prefixes of every length around the eight-byte mark.
const std::vector<std::string> &keyTable() {
    static std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        const char *stems[] = {"", "a", "abcdefg", "abcdefgh", "abcdefghij", "\xff", "Z"};
        for (const char *s : stems)
            for (int i = 0; i < 36; i++) {
                std::string key = s;
                if (i % 6) key += char("bz\x80\x7f!"[i % 5]);
                if (i % 4) key += char('0' + i);
                k.push_back(key);
            }
        return k;
    }();
    return keys;
}

// Integers over the whole signed range, both ends included, for the map that
// compares integer keys inline.
class SpreadKeys : public KeyTable {
public:
    SpreadKeys() : KeyTable(compareIntptrs) {
        keys_.push_back(reinterpret_cast<void *>(INTPTR_MIN));
        for (int i = -127; i <= 127; i++) keys_.push_back(reinterpret_cast<void *>(intptr_t(i) * (INTPTR_MAX / 127)));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static StringKeys keys(keyTable());
    static SpreadKeys integers;
    MVMap *map = mvMapCreate(compareStrings, nullptr);
    MVMap *integerMap = mvMapCreate(mvMapCompareIntegers, nullptr);
    MVSMap *smap = mvSMapCreate();
    MVSet *set = mvSetCreate(compareStrings, nullptr);
    MapModel mapDriver(map, keys, fuzzFail);
    SetModel setDriver(set, keys, fuzzFail);
    SMapModel smapDriver(smap, keys, fuzzFail);
    MapModel integerDriver(integerMap, integers, fuzzFail);
    // The first byte of each operation names the container (or a full
    // check of all four); the driver takes the operation and key from the
    // bytes that follow.
    ByteOps ops(data, size);
    while (ops.more()) {
        switch (ops.pick(5)) {
        case 0:
            mapDriver.step(ops);
            break;
        case 1:
            setDriver.step(ops);
            break;
        case 2:
            smapDriver.step(ops);
            break;
        case 3:
            integerDriver.step(ops);
            break;
        default:
            mapDriver.verify();
            setDriver.verify();
            smapDriver.verify();
            integerDriver.verify();
        }
    }
    mapDriver.verify();
    setDriver.verify();
    smapDriver.verify();
    integerDriver.verify();

    smapDriver.empty();
    mvSMapDestroy(smap);
    mvMapDestroy(map);
    mvMapDestroy(integerMap);
    mvSetDestroy(set);
    return 0;
}
