// Fuzzes map, set and string map with an operation stream, checked against
// std::map / std::set, with the tree's invariants checked as it goes.
// Each operation is two bytes: an opcode and a key index into a fixed table.
#include <morven/map.h>
#include <morven/set.h>
#include <morven/smap.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/containers/map_internal.h"
#include "fuzz_check.h"
#include "tree_invariants.h"

namespace {

int byBytes(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

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

void checkMap(MVMap *map, const std::map<std::string, uintptr_t> &model) {
    FUZZ_CHECK(mvMapCount(map) == model.size());
    auto it = model.begin();
    for (MVMapNode *e = mvMapGetFirst(map); e; e = mvMapNext(map, e), ++it) {
        FUZZ_CHECK(it != model.end());
        FUZZ_CHECK(it->first == static_cast<const char *>(e->key));
        FUZZ_CHECK(it->second == reinterpret_cast<uintptr_t>(e->value));
    }
    FUZZ_CHECK(it == model.end());
    int h = checkedHeight(mapTreeRoot(map), nullptr, byBytes);
    FUZZ_CHECK(h >= 0 && heightWithinBound(h, model.size()));
}

// The integer-keyed map beside its model: keys spread over the whole signed
// range, so that both signs and both ends meet.
void checkIntegerMap(MVMap *map, const std::map<intptr_t, uintptr_t> &model) {
    FUZZ_CHECK(mvMapCount(map) == model.size());
    auto it = model.begin();
    for (MVMapNode *e = mvMapGetFirst(map); e; e = mvMapNext(map, e), ++it) {
        FUZZ_CHECK(it != model.end());
        FUZZ_CHECK(it->first == reinterpret_cast<intptr_t>(e->key));
        FUZZ_CHECK(it->second == reinterpret_cast<uintptr_t>(e->value));
    }
    FUZZ_CHECK(it == model.end());
    int h = checkedHeight(mapTreeRoot(map), nullptr, mvMapCompareIntegers);
    FUZZ_CHECK(h >= 0 && heightWithinBound(h, model.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::vector<std::string> &keys = keyTable();
    MVMap *map = mvMapCreate(byBytes, nullptr);
    MVSMap *smap = mvSMapCreate();
    MVSet *set = mvSetCreate(byBytes, nullptr);
    MVMap *imap = mvMapCreate(mvMapCompareIntegers, nullptr);
    std::map<intptr_t, uintptr_t> imapModel;
    std::map<std::string, uintptr_t> mapModel, smapModel;
    std::set<std::string> setModel;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const std::string &k = keys[data[i + 1] % keys.size()];
        char *key = const_cast<char *>(k.c_str());
        uintptr_t v = i + 1;
        intptr_t ik = intptr_t(int8_t(data[i + 1])) * (INTPTR_MAX / 127);
        void *ikey = reinterpret_cast<void *>(ik);
        switch (data[i] % 12) {
        case 0:
            if (!mvMapFindNode(map, key)) {
                FUZZ_CHECK(mvMapAssignNode(map, key, reinterpret_cast<void *>(v))->key == key);
                mapModel[k] = v;
            }
            if (!mvMapFindNode(imap, ikey)) {
                FUZZ_CHECK(mvMapAssignNode(imap, ikey, reinterpret_cast<void *>(v))->key == ikey);
                imapModel[ik] = v;
            }
            break;
        case 1: {
            void *r = mvMapRemove(map, std::string(k).c_str());
            auto it = mapModel.find(k);
            FUZZ_CHECK(r == (it == mapModel.end() ? nullptr : reinterpret_cast<void *>(it->second)));
            if (it != mapModel.end()) mapModel.erase(it);
            auto at = imapModel.find(ik);
            r = mvMapRemove(imap, ikey);
            FUZZ_CHECK(r == (at == imapModel.end() ? nullptr : reinterpret_cast<void *>(at->second)));
            if (at != imapModel.end()) imapModel.erase(at);
            break;
        }
        case 2: {
            MVMapNode *e = data[i] & 16 ? mvMapPopFirst(map) : data[i] & 32 ? mvMapPopLast(map) : mvMapPopRoot(map);
            FUZZ_CHECK((e != nullptr) == !mapModel.empty());
            if (e) FUZZ_CHECK(mapModel.erase(static_cast<const char *>(e->key)) == 1);
            break;
        }
        case 3:
            FUZZ_CHECK((mvMapFind(map, std::string(k).c_str()) != nullptr) == (mapModel.count(k) == 1));
            FUZZ_CHECK((mvMapFind(imap, ikey) != nullptr) == (imapModel.count(ik) == 1));
            break;
        case 4: {
            void *before = smapModel.count(k) ? reinterpret_cast<void *>(smapModel[k]) : nullptr;
            FUZZ_CHECK(mvSMapReplace(smap, std::string(k).c_str(), reinterpret_cast<void *>(v)) == before);
            smapModel[k] = v;
            break;
        }
        case 5: {
            void *r = mvSMapRemove(smap, k.c_str());
            auto it = smapModel.find(k);
            FUZZ_CHECK(r == (it == smapModel.end() ? nullptr : reinterpret_cast<void *>(it->second)));
            if (it != smapModel.end()) smapModel.erase(it);
            break;
        }
        case 6: {
            MVMapNode *e = data[i] & 16 ? mvSMapPopFirst(smap) : mvSMapPopLast(smap);
            FUZZ_CHECK((e != nullptr) == !smapModel.empty());
            if (e) {
                FUZZ_CHECK(smapModel.erase(static_cast<const char *>(e->key)) == 1);
                std::free(e->key);
            }
            break;
        }
        case 7:
        case 8:
            FUZZ_CHECK(mvSetInsert(set, key) != nullptr);
            setModel.insert(k);
            break;
        case 9:
            FUZZ_CHECK(mvSetRemoveItem(set, std::string(k).c_str()) == (setModel.erase(k) == 1));
            break;
        case 10:
            FUZZ_CHECK((mvSetSearch(set, std::string(k).c_str()) != nullptr) == (setModel.count(k) == 1));
            break;
        default:
            checkMap(map, mapModel);
            checkMap(smap, smapModel);
            checkIntegerMap(imap, imapModel);
        }
    }
    checkMap(map, mapModel);
    checkMap(smap, smapModel);
    checkIntegerMap(imap, imapModel);
    int h = checkedHeight(set->root, nullptr, byBytes);
    FUZZ_CHECK(h >= 0 && heightWithinBound(h, setModel.size()) && mvSetCount(set) == setModel.size());
    auto it = setModel.begin();
    for (MVTreeNode *n = mvSetFirst(set); n; n = mvSetNext(n), ++it) FUZZ_CHECK(*it == static_cast<char *>(n->item));

    while (MVMapNode *e = mvSMapPopFirst(smap)) std::free(e->key);
    mvSMapDestroy(smap);
    mvMapDestroy(map);
    mvMapDestroy(imap);
    mvSetDestroy(set);
    return 0;
}
