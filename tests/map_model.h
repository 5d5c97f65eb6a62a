// Random operations on an ordered map, each checked against a std::map model:
// assignment (new entries and values overwritten in place), removal, finds
// with a separate key buffer, pops from both ends and the root, neighbours,
// and in full (both walks, count, tree shape) at verify().
#ifndef MORVEN_TESTS_MAP_MODEL_H
#define MORVEN_TESTS_MAP_MODEL_H

#include <morven/map.h>

#include <iterator>
#include <map>

#include "core/containers/map_internal.h"
#include "model_driver.h"

class MapModel : public DriverBase<MapModel> {
public:
    MapModel(MVMap *map, KeyTable &keys, Report report)
        : DriverBase<MapModel>(std::move(report)), map_(map), keys_(keys), model_(ModelOrder{keys.cmp}) {}

    const std::map<const void *, void *, ModelOrder> &model() const { return model_; }

    // One random operation.
    void step(OpSource &ops) {
        size_t op = ops.pick(11);
        size_t k = ops.pick(keys_.size());
        if (op < 4)
            assign(k, ops.pick(2) == 0);
        else if (op < 7)
            remove(k);
        else if (op < 9)
            find(k);
        else if (op < 10)
            pop(ops.pick(3));
        else
            neighbours(k);
    }

    // Stores a fresh value under key k: in place when present, else through
    // mvMapAssignNode or (byNode false) mvMapAssign.
    void assign(size_t k, bool byNode) {
        steps_++;
        void *key = keys_.key(k), *value = nextValue();
        auto it = model_.find(key);
        if (MVMapNode *e = mvMapFindNode(map_, key)) {
            if (!check(it != model_.end(), "found absent key " + keys_.name(k))) return;
            if (!check(e->key == it->first, "entry of " + keys_.name(k) + " holds another key pointer")) return;
            e->value = value;
            it->second = value;
            check(mvMapFind(map_, key) == value, "value overwritten in place not seen by find");
            return;
        }
        if (!check(it == model_.end(), "lost key " + keys_.name(k))) return;
        startWatch();
        bool stored;
        if (byNode) {
            MVMapNode *e = mvMapAssignNode(map_, key, value);
            stored = e != nullptr;
            if (e) check(e->key == key && e->value == value, "new entry of " + keys_.name(k) + " holds other data");
        } else {
            void *r = mvMapAssign(map_, key, value);
            stored = r != nullptr;
            if (r) check(r == value, "assign returned another value");
        }
        if (!check(stored != refused(), stored ? "stored despite a refused allocation" : "assignment failed")) return;
        if (stored) model_[key] = value;
    }

    // Removes key k through a separate buffer: its value, or null when absent.
    void remove(size_t k) {
        steps_++;
        void *r = mvMapRemove(map_, keys_.probe(k));
        keys_.spoil();
        checkRemoved(model_, keys_.key(k), r, keys_.name(k));
    }

    // Finds key k through a separate buffer.
    void find(size_t k) {
        steps_++;
        auto it = model_.find(keys_.key(k));
        const void *probe = keys_.probe(k);
        MVMapNode *e = mvMapFindNode(map_, probe);
        void *v = mvMapFind(map_, probe);
        keys_.spoil();
        if (!check((e != nullptr) == (it != model_.end()), "find node of " + keys_.name(k) + " disagrees")) return;
        check(v == (it == model_.end() ? nullptr : it->second),
              "find of " + keys_.name(k) + " returned the wrong value");
        if (e) check(e->key == it->first, "found entry of " + keys_.name(k) + " holds another key pointer");
    }

    // Pops the first (0), last (1) or root (2) entry; the matching get agrees.
    void pop(size_t which) {
        steps_++;
        MVMapNode *got = which == 0 ? mvMapGetFirst(map_) : which == 1 ? mvMapGetLast(map_) : mvMapGetRoot(map_);
        MVMapNode *e = which == 0 ? mvMapPopFirst(map_) : which == 1 ? mvMapPopLast(map_) : mvMapPopRoot(map_);
        takePopped(e, got, model_, which, [&](const MVMapNode *n) {
            auto it = model_.find(n->key);
            return it != model_.end() && it->first == n->key ? it : model_.end();
        });
    }

    // Next and previous of key k's entry are the model's neighbours.
    void neighbours(size_t k) {
        steps_++;
        auto it = model_.find(keys_.key(k));
        if (it == model_.end()) return;
        MVMapNode *e = mvMapFindNode(map_, it->first);
        if (!check(e != nullptr, "present key not found")) return;
        MVMapNode *next = mvMapNext(map_, e), *prev = mvMapPrev(map_, e);
        auto after = std::next(it);
        check(after == model_.end() ? next == nullptr : next && next->key == after->first, "next is not the successor");
        check(it == model_.begin() ? prev == nullptr : prev && prev->key == std::prev(it)->first,
              "prev is not the predecessor");
    }

    // Count, both walks, first and last, and the tree's shape.
    bool verify() {
        if (!checkCount(mvMapCount(map_), model_.size())) return false;
        auto it = model_.begin();
        for (MVMapNode *e = mvMapGetFirst(map_); e; e = mvMapNext(map_, e), ++it) {
            if (!check(it != model_.end(), "more entries than the model")) return false;
            if (!check(e->key == it->first && e->value == it->second, "walk differs from the model")) return false;
        }
        if (!check(it == model_.end(), "fewer entries than the model")) return false;
        auto back = model_.rbegin();
        for (MVMapNode *e = mvMapGetLast(map_); e; e = mvMapPrev(map_, e), ++back)
            if (!check(back != model_.rend() && e->key == back->first, "backward walk differs")) return false;
        if (!check(back == model_.rend(), "backward walk too short")) return false;
        return checkShape(mapTreeRoot(map_), keys_.cmp, model_.size());
    }

private:
    MVMap *map_;
    KeyTable &keys_;
    std::map<const void *, void *, ModelOrder> model_;
};

#endif
