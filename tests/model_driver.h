// What the random-operation drivers of the containers share (map_model.h,
// set_model.h, smap_model.h): where the choices come from, how a mismatch is
// reported, which allocations were refused, and the table of keys.
// Used by the unit tests and the fuzz targets alike, so no GoogleTest here.
#ifndef MORVEN_TESTS_MODEL_DRIVER_H
#define MORVEN_TESTS_MODEL_DRIVER_H

#include <morven/map.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tree_invariants.h"

// Choices of the next operation and its key.
struct OpSource {
    virtual ~OpSource() = default;
    // A number in [0, n); n > 0.
    virtual size_t pick(size_t n) = 0;
    // False once the source has nothing more to say.
    virtual bool more() const { return true; }
};

// A seeded generator: the same seed gives the same operations everywhere.
struct SeededOps : OpSource {
    std::mt19937_64 rng;
    explicit SeededOps(uint64_t seed) : rng(seed) {}
    size_t pick(size_t n) override { return size_t(rng() % n); }
};

// The fuzzer's bytes, one per choice; zeros once they run out.
struct ByteOps : OpSource {
    const uint8_t *data;
    size_t size;
    ByteOps(const uint8_t *d, size_t n) : data(d), size(n) {}
    size_t pick(size_t n) override {
        if (!size) return 0;
        size--;
        return *data++ % n;
    }
    bool more() const override { return size > 0; }
};

// Told what went wrong; a driver stops at its first failure.
using Report = std::function<void(const std::string &what)>;

// Told around every operation that may allocate; says whether an allocation
// of that operation was refused. The default refuses nothing.
struct AllocWatch {
    virtual ~AllocWatch() = default;
    virtual void start() {}
    virtual bool refused() const { return false; }
};

// The keys the drivers use: distinct under cmp, each at a stable address
// that containers may keep. probe(i) is a separate key equal to key(i) for
// lookups; spoil() overwrites it after the call, so a container that kept the
// caller's lookup key is found out.
class KeyTable {
public:
    explicit KeyTable(MVCompareFunction c) : cmp(c) {}
    virtual ~KeyTable() = default;
    MVCompareFunction cmp;
    size_t size() const { return keys_.size(); }
    void *key(size_t i) const { return keys_[i]; }
    virtual const void *probe(size_t i) { return keys_[i]; }
    virtual void spoil() {}
    virtual std::string name(size_t i) const { return std::to_string(reinterpret_cast<intptr_t>(keys_[i])); }

protected:
    std::vector<void *> keys_;
};

inline int compareStrings(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

inline int compareIntptrs(const void *a, const void *b) {
    intptr_t x = reinterpret_cast<intptr_t>(a), y = reinterpret_cast<intptr_t>(b);
    return x < y ? -1 : x > y;
}

// C strings ordered by strcmp; repeated texts are kept once.
class StringKeys : public KeyTable {
public:
    explicit StringKeys(const std::vector<std::string> &texts) : KeyTable(compareStrings) {
        std::set<std::string> seen;
        for (const std::string &t : texts)
            if (t.find('\0') == std::string::npos && seen.insert(t).second) text_.push_back(t);
        for (std::string &t : text_) keys_.push_back(&t[0]);
    }
    StringKeys(const StringKeys &) = delete;
    StringKeys &operator=(const StringKeys &) = delete;
    const void *probe(size_t i) override {
        scratch_.assign(text_[i].begin(), text_[i].end());
        scratch_.push_back('\0');
        return scratch_.data();
    }
    void spoil() override {
        for (size_t i = 0; i + 1 < scratch_.size(); i++) scratch_[i] = '#';
    }
    std::string name(size_t i) const override { return "\"" + text_[i] + "\""; }
    const std::string &text(size_t i) const { return text_[i]; }

private:
    std::vector<std::string> text_;
    std::vector<char> scratch_;
};

// The integers first..last as pointer-sized keys, ordered as numbers.
class IntKeys : public KeyTable {
public:
    IntKeys(intptr_t first, intptr_t last) : KeyTable(compareIntptrs) {
        for (intptr_t k = first; k <= last; k++) keys_.push_back(reinterpret_cast<void *>(k));
    }
};

// Orders a model's keys with the containers' own comparison function.
struct ModelOrder {
    MVCompareFunction cmp;
    bool operator()(const void *a, const void *b) const { return cmp(a, b) < 0; }
};

// The state every driver keeps: the report, the step count and the first
// failure. Driver is the container's driver, with step(OpSource &), one
// random operation, and verify(), the full comparison.
template <class Driver>
class DriverBase {
public:
    explicit DriverBase(Report r) : report_(std::move(r)) {}
    // Runs `count` random operations, or fewer when the source ends or one
    // fails; verifies every `verifyEvery` operations (0: only at the end).
    bool run(OpSource &ops, long count, long verifyEvery = 0) {
        Driver &self = static_cast<Driver &>(*this);
        for (long i = 0; i < count && ok_ && ops.more(); i++) {
            self.step(ops);
            if (verifyEvery > 0 && (i + 1) % verifyEvery == 0) self.verify();
        }
        return ok_ && self.verify();
    }
    bool ok() const { return ok_; }
    long steps() const { return steps_; }
    AllocWatch *watch = nullptr;

protected:
    // Reports what failed, once, with the step it happened at.
    bool check(bool cond, const std::string &what) {
        if (!cond && ok_) {
            ok_ = false;
            report_("step " + std::to_string(steps_) + ": " + what);
        }
        return cond;
    }
    bool checkCount(size_t count, size_t modelCount) {
        return check(count == modelCount, "count " + std::to_string(count) + ", model " + std::to_string(modelCount));
    }
    // Order, parent links, balance and height of a tree of `count` nodes.
    bool checkShape(const MVTreeNode *root, MVCompareFunction cmp, size_t count) {
        int h = checkedHeight(root, nullptr, cmp);
        return check(h >= 0, "order, parent link or balance broken") &&
               check(heightWithinBound(h, count), "tree too high: " + std::to_string(h));
    }
    // What a removal of key should have returned (the model's value, or null
    // when absent); the model follows the removal.
    template <class Model, class Key>
    void checkRemoved(Model &model, const Key &key, void *removed, const std::string &name) {
        auto it = model.find(key);
        check(removed == (it == model.end() ? nullptr : it->second), "remove of " + name + " returned the wrong value");
        if (it != model.end()) model.erase(it);
    }
    // Checks the entry e that a pop gave (the matching get gave `got`) of
    // the first (which 0), last (1) or root (2) against the model, where
    // find(e) locates it, and takes it out of the model.
    template <class Model, class Find>
    void takePopped(const MVMapNode *e, const MVMapNode *got, Model &model, size_t which, Find find) {
        if (!check((e != nullptr) == !model.empty(), "pop on a map of " + std::to_string(model.size())) || !e) return;
        auto it = find(e);
        if (!check(e == got, "pop gave another entry than get")) return;
        if (!check(it != model.end(), "popped an unknown key")) return;
        if (which == 0 && !check(it == model.begin(), "pop first gave a later entry")) return;
        if (which == 1 && !check(std::next(it) == model.end(), "pop last gave an earlier entry")) return;
        if (check(e->value == it->second, "popped entry holds the wrong value")) model.erase(it);
    }
    void startWatch() {
        if (watch) watch->start();
    }
    bool refused() const { return watch && watch->refused(); }
    // A fresh value for every assignment, never null.
    void *nextValue() { return reinterpret_cast<void *>(uintptr_t(++values_) << 4 | 8); }
    long steps_ = 0;  // operations so far, counted by each operation

private:
    Report report_;
    bool ok_ = true;
    uintptr_t values_ = 0;
};

#endif
