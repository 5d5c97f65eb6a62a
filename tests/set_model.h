// Random operations on an ordered set, each checked against a std::set
// model: insertion (an equal item gives the existing node), removal and search
// with a separate item buffer, first and next, and in full (walk, count, tree
// shape) at verify().
#ifndef MORVEN_TESTS_SET_MODEL_H
#define MORVEN_TESTS_SET_MODEL_H

#include <morven/set.h>

#include <iterator>
#include <set>

#include "model_driver.h"
#include "tree_invariants.h"

// Whether set holds exactly the model's items, in order, in a valid tree;
// the first difference found, or an empty string. same(item, element) tells
// whether a node's item is the model's element.
template <class Model, class Same>
std::string setDifference(const MVSet *set, const Model &model, MVCompareFunction cmp, Same same) {
    if (mvSetCount(set) != model.size())
        return "count " + std::to_string(mvSetCount(set)) + ", model " + std::to_string(model.size());
    auto it = model.begin();
    for (MVTreeNode *n = mvSetFirst(set); n; n = mvSetNext(n), ++it) {
        if (it == model.end()) return "more items than the model";
        if (!same(n->item, *it)) return "walk differs";
    }
    if (it != model.end()) return "fewer items than the model";
    int h = checkedHeight(set->root, nullptr, cmp);
    if (h < 0) return "order, parent link or balance broken";
    if (!heightWithinBound(h, model.size())) return "tree too high: " + std::to_string(h);
    return "";
}

class SetModel : public DriverBase<SetModel> {
public:
    SetModel(MVSet *set, KeyTable &items, Report report)
        : DriverBase<SetModel>(std::move(report)), set_(set), items_(items), model_(ModelOrder{items.cmp}) {}

    const std::set<const void *, ModelOrder> &model() const { return model_; }

    void step(OpSource &ops) {
        size_t op = ops.pick(7);
        size_t k = ops.pick(items_.size());
        if (op < 2)
            insert(k);
        else if (op < 4)
            remove(k);
        else if (op < 6)
            search(k);
        else
            next(k);
    }

    // Inserts item k: a new node holding it, or the node already holding an equal item.
    void insert(size_t k) {
        steps_++;
        void *item = items_.key(k);
        auto it = model_.find(item);
        startWatch();
        MVTreeNode *n = mvSetInsert(set_, item);
        if (it != model_.end()) {
            check(n && n->item == *it, "insert of present " + items_.name(k) + " did not give its node");
            return;
        }
        if (!check((n != nullptr) != refused(), n ? "inserted despite a refused allocation" : "insert failed")) return;
        if (!n) return;
        check(n->item == item, "new node of " + items_.name(k) + " holds another item");
        model_.insert(item);
    }

    // Removes item k through a separate buffer.
    void remove(size_t k) {
        steps_++;
        bool present = model_.erase(items_.key(k)) == 1;
        check(mvSetRemoveItem(set_, items_.probe(k)) == present, "remove of " + items_.name(k) + " disagrees");
        items_.spoil();
    }

    // Searches item k through a separate buffer.
    void search(size_t k) {
        steps_++;
        auto it = model_.find(items_.key(k));
        MVTreeNode *n = mvSetSearch(set_, items_.probe(k));
        items_.spoil();
        if (!check((n != nullptr) == (it != model_.end()), "search of " + items_.name(k) + " disagrees")) return;
        if (n) check(n->item == *it, "found node of " + items_.name(k) + " holds another item");
    }

    // First, and the node after item k, are the model's.
    void next(size_t k) {
        steps_++;
        MVTreeNode *first = mvSetFirst(set_);
        check(model_.empty() ? first == nullptr : first && first->item == *model_.begin(), "first is not the smallest");
        auto it = model_.find(items_.key(k));
        if (it == model_.end()) return;
        MVTreeNode *n = mvSetSearch(set_, *it);
        if (!check(n != nullptr, "present item not found")) return;
        MVTreeNode *after = mvSetNext(n);
        auto successor = std::next(it);
        check(successor == model_.end() ? after == nullptr : after && after->item == *successor,
              "next is not the successor");
    }

    bool verify() {
        std::string difference = setDifference(set_, model_, items_.cmp,
                                               [](const void *item, const void *element) { return item == element; });
        return check(difference.empty(), difference);
    }

private:
    MVSet *set_;
    KeyTable &items_;
    std::set<const void *, ModelOrder> model_;
};

#endif
