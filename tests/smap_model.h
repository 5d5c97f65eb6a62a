// Random operations on a string map, each checked against a std::map model.
// Keys are always passed in a scratch buffer that is overwritten after the
// call, so a map that kept the caller's key instead of its own copy is found
// out. Values are fresh tags, now and then null.
#ifndef MORVEN_TESTS_SMAP_MODEL_H
#define MORVEN_TESTS_SMAP_MODEL_H

#include <morven/smap.h>

#include <cstdlib>
#include <iterator>
#include <map>

#include "core/containers/map_internal.h"
#include "model_driver.h"

class SMapModel : public DriverBase<SMapModel> {
public:
    enum Setter { REPLACE, ASSIGN, ASSIGN_NODE };

    SMapModel(MVSMap *map, StringKeys &keys, Report report)
        : DriverBase<SMapModel>(std::move(report)), map_(map), keys_(keys) {}

    const std::map<std::string, void *> &model() const { return model_; }

    void step(OpSource &ops) {
        size_t op = ops.pick(10);
        size_t k = ops.pick(keys_.size());
        if (op < 4)
            set(k, Setter(op % 3), ops.pick(8) ? nextValue() : nullptr);
        else if (op < 6)
            remove(k);
        else if (op < 9)
            find(k);
        else
            pop(ops.pick(3));
    }

    // Stores value under key k with one of the three setters and checks its result.
    void set(size_t k, Setter setter, void *value) {
        steps_++;
        const std::string &text = keys_.text(k);
        auto it = model_.find(text);
        bool present = it != model_.end();
        void *before = present ? it->second : nullptr;
        const char *buffer = static_cast<const char *>(keys_.probe(k));
        MVMapNode *existing = present ? mvSMapFindNode(map_, buffer) : nullptr;
        startWatch();
        void *result = nullptr;
        MVMapNode *node = nullptr;
        if (setter == REPLACE) result = mvSMapReplace(map_, buffer, value);
        if (setter == ASSIGN) result = mvSMapAssign(map_, buffer, value);
        if (setter == ASSIGN_NODE) node = mvSMapAssignNode(map_, buffer, value);
        bool stored = present || !refused();
        keys_.spoil();
        std::string name = keys_.name(k);
        if (present) check(!refused(), "setting present key " + name + " allocated");
        if (setter == REPLACE) check(result == before, "replace of " + name + " returned the wrong value");
        if (setter == ASSIGN) check(result == value, "assign of " + name + " did not return its value");
        if (setter == ASSIGN_NODE) {
            if (!check((node != nullptr) == stored, "assign node of " + name + " disagrees")) return;
            if (present) check(node == existing, "assign node of present " + name + " gave another entry");
            if (node) {
                check(node->key != buffer && text == static_cast<const char *>(node->key) && node->value == value,
                      "assigned entry of " + name + " holds other data");
            }
        }
        if (stored) model_[text] = value;
    }

    // Removes key k: its value, or null when absent.
    void remove(size_t k) {
        steps_++;
        void *r = mvSMapRemove(map_, static_cast<const char *>(keys_.probe(k)));
        keys_.spoil();
        checkRemoved(model_, keys_.text(k), r, keys_.name(k));
    }

    // Find and find-node of key k; only find-node tells a null value from an absent key.
    void find(size_t k) {
        steps_++;
        auto it = model_.find(keys_.text(k));
        const char *buffer = static_cast<const char *>(keys_.probe(k));
        void *v = mvSMapFind(map_, buffer);
        MVMapNode *e = mvSMapFindNode(map_, buffer);
        keys_.spoil();
        check(v == (it == model_.end() ? nullptr : it->second),
              "find of " + keys_.name(k) + " returned the wrong value");
        if (!check((e != nullptr) == (it != model_.end()), "find node of " + keys_.name(k) + " disagrees")) return;
        if (e) check(e->value == it->second && it->first == static_cast<const char *>(e->key), "found entry differs");
    }

    // Pops the first (0), last (1) or root (2) entry and frees its key copy.
    void pop(size_t which) {
        steps_++;
        MVMapNode *got = which == 0 ? mvSMapGetFirst(map_) : which == 1 ? mvSMapGetLast(map_) : mvSMapGetRoot(map_);
        MVMapNode *e = which == 0 ? mvSMapPopFirst(map_) : which == 1 ? mvSMapPopLast(map_) : mvSMapPopRoot(map_);
        takePopped(e, got, model_, which,
                   [&](const MVMapNode *n) { return model_.find(static_cast<const char *>(n->key)); });
        if (e) std::free(e->key);
    }

    // Count, the walk in byte order, and the tree's shape.
    bool verify() {
        if (!checkCount(mvMapCount(map_), model_.size())) return false;
        auto it = model_.begin();
        for (MVMapNode *e = mvSMapGetFirst(map_); e; e = mvMapNext(map_, e), ++it) {
            if (!check(it != model_.end(), "more entries than the model")) return false;
            if (!check(it->first == static_cast<const char *>(e->key) && e->value == it->second,
                       "walk differs from the model at \"" + it->first + "\""))
                return false;
        }
        if (!check(it == model_.end(), "fewer entries than the model")) return false;
        return checkShape(mapTreeRoot(map_), compareStrings, model_.size());
    }

    // Pops every entry, freeing the key copies; the map is then empty.
    void empty() {
        while (MVMapNode *e = mvSMapPopFirst(map_)) std::free(e->key);
        model_.clear();
    }

private:
    MVSMap *map_;
    StringKeys &keys_;
    std::map<std::string, void *> model_;
};

#endif
