// The set exerciser's tree views compared with the tree the core set really
// builds: the same operations are applied to a core set here, its tree is
// walked through the public records, and the whole expected dialogue is
// rendered from it independently of the program.
#include <gtest/gtest.h>
#include <morven/set.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "set_dialogue.h"

namespace {

int byStrcmp(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

std::string item(const MVTreeNode *n) { return static_cast<const char *>(n->item); }

std::string compact(const MVTreeNode *n) {
    if (!n) return "NIL";
    if (!n->left && !n->right) return item(n);
    return "(" + item(n) + " " + compact(n->left) + " " + compact(n->right) + ")";
}

std::string pretty(const MVTreeNode *n, int depth) {
    std::string indent(2 * depth, ' ');
    if (!n) return indent + "NIL";
    if (!n->left && !n->right) return indent + item(n);
    return indent + "(" + item(n) + "\n" + pretty(n->left, depth + 1) + "\n" +
           pretty(n->right, depth + 1) + ")";
}

// Each line is the ancestors' prefix, then a connector for this child.
void drawChild(const MVTreeNode *n, const std::string &prefix, bool right, std::string &out) {
    out += prefix + (right ? "\\" : "|");
    if (!n) {
        out += "\n";
        return;
    }
    out += "-" + item(n) + "\n";
    if (n->left || n->right) {
        std::string deeper = prefix + (right ? "  " : "| ");
        drawChild(n->left, deeper, false, out);
        drawChild(n->right, deeper, true, out);
    }
}

std::string drawn(const MVTreeNode *root) {
    std::string out = item(root) + "\n";
    if (root->left || root->right) {
        drawChild(root->left, "", false, out);
        drawChild(root->right, "", true, out);
    }
    return out;
}

std::string inOrder(const MVTreeNode *n) {
    if (!n) return "";
    return inOrder(n->left) + "\"" + item(n) + "\" " + inOrder(n->right);
}

const std::string kMenu = kSetMenu + "Selection: \n";

// Applies commands to a core set and renders the dialogue the program must write.
class Model {
public:
    Model() : set(mvSetCreate(byStrcmp, nullptr)) {
        out = "Example of MORVEN sets----------------------------------------\n";
    }
    ~Model() {
        while (set->root) {
            void *i = set->root->item;
            mvSetRemoveItem(set, i);
            std::free(i);
        }
        mvSetDestroy(set);
    }
    void add(const std::string &e) {
        input += "+" + e + "\n";
        std::string msg;
        if (mvSetSearch(set, e.c_str())) {
            msg = "Element '" + e + "' already exists in the set!\n";
        } else {
            mvSetInsert(set, strdup(e.c_str()));
            msg = "Element '" + e + "' successfully added!\n";
        }
        answer(msg);
    }
    void remove(const std::string &e) {
        input += "-" + e + "\n";
        MVTreeNode *n = mvSetSearch(set, e.c_str());
        if (!n) return answer("There is no element '" + e + "' in the set!\n");
        void *i = n->item;
        mvSetRemoveItem(set, i);
        std::free(i);
        answer("Element '" + e + "' successfully removed!\n");
    }
    void views() {
        const MVTreeNode *root = set->root;
        input += "s\nss\npp\np\n";
        answer(compact(root) + "\n");
        answer(pretty(root, 0) + "\n");
        answer(root ? drawn(root) + "\n" : "<the set is empty>\n");
        answer(root ? inOrder(root) + "\n" : "<the set is empty>\n");
    }
    std::string finish() {
        input += "q\n";
        out += kMenu + std::string("\n");
        return out;
    }
    std::string input;

private:
    void answer(const std::string &text) { out += kMenu + text + "\n"; }
    MVSet *set;
    std::string out;
};

std::string runSet(const std::string &input) {
    char path[] = "/tmp/morven-set-input-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, input.data(), input.size()), ssize_t(input.size()));
    close(fd);
    std::string command = std::string("'") + MORVEN_SET_PROGRAM + "' < " + path;
    FILE *p = popen(command.c_str(), "r");
    EXPECT_NE(p, nullptr);
    std::string out;
    char chunk[4096];
    size_t n;
    while (p && (n = fread(chunk, 1, sizeof chunk, p)) > 0) out.append(chunk, n);
    if (p) {
        EXPECT_EQ(pclose(p), 0);
    }
    unlink(path);
    return out;
}

TEST(SetProgram, TreeViewsMatchTheCoreTree) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 4; round++) {
        Model model;
        model.views();
        std::vector<std::string> words;
        for (int i = 0; i < 60; i++) {
            std::string w;
            for (int k = 0, len = 1 + int(rng() % 3); k < len; k++) w += char('a' + rng() % 6);
            words.push_back(w);
            model.add(w);
            if (i % 20 == 7) model.views();
        }
        model.views();
        for (int i = 0; i < 40; i++) model.remove(words[rng() % words.size()]);
        model.views();
        std::string expected = model.finish();
        EXPECT_EQ(runSet(model.input), expected) << "round " << round;
    }
}

// Shapes that AVL balancing makes certain, read straight from the core set.
std::string shapeAfter(std::vector<const char *> adds, std::vector<const char *> removes = {}) {
    MVSet *set = mvSetCreate(byStrcmp, nullptr);
    for (const char *a : adds) mvSetInsert(set, const_cast<char *>(a));
    for (const char *r : removes) mvSetRemoveItem(set, r);
    std::string s = compact(set->root);
    mvSetDestroy(set);
    return s;
}

TEST(SetProgram, SmallTreesHaveTheirBalancedShapes) {
    EXPECT_EQ(shapeAfter({"b", "a", "c"}), "(b a c)");
    EXPECT_EQ(shapeAfter({"a", "b", "c"}), "(b a c)");
    EXPECT_EQ(shapeAfter({"c", "b", "a"}), "(b a c)");
    EXPECT_EQ(shapeAfter({"a", "c", "b"}), "(b a c)");
    EXPECT_EQ(shapeAfter({"c", "a", "b"}), "(b a c)");
    EXPECT_EQ(shapeAfter({"m", "c", "x", "a"}), "(m (c a NIL) x)");
    EXPECT_EQ(shapeAfter({"1", "2", "3", "4", "5", "6", "7"}), "(4 (2 1 3) (6 5 7))");
    EXPECT_EQ(shapeAfter({"1", "2", "3", "4", "5", "6", "7"}, {"4"}), "(5 (2 1 3) (6 NIL 7))");
    EXPECT_EQ(shapeAfter({"1", "2", "3", "4", "5", "6", "7"}, {"4", "5", "7"}), "(2 1 (6 3 NIL))");
}

TEST(SetProgram, DrawnTreeOfTheExample) {
    MVSet *set = mvSetCreate(byStrcmp, nullptr);
    for (const char *a : {"m", "c", "x", "a"}) mvSetInsert(set, const_cast<char *>(a));
    EXPECT_EQ(drawn(set->root), "m\n|-c\n| |-a\n| \\\n\\-x\n");
    EXPECT_EQ(pretty(set->root, 0), "(m\n  (c\n    a\n    NIL)\n  x)");
    mvSetDestroy(set);
}

}  // namespace
