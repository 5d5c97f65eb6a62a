// Fuzzes the set exerciser's command handling. examples/set.c is compiled in
// with its main renamed to morvenSetMain; the fuzzed bytes are its standard
// input and its standard output goes to a memory stream. The link wraps getline
// and mvSetCreate: each time the program reads a line, the output written so
// far is compared with the dialogue a std::set model predicts, and the
// program's set is checked against the model (contents, order, tree shape).
#include <morven/set.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "fuzz_check.h"
#include "set_dialogue.h"
#include "set_model.h"

extern "C" int morvenSetMain(void);
extern "C" ssize_t __real_getline(char **line, size_t *size, FILE *stream);
extern "C" MVSet *__real_mvSetCreate(MVCompareFunction cmp, void *data);

namespace {

int byStrcmp(const void *a, const void *b) {
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

std::string item(const MVTreeNode *n) { return static_cast<const char *>(n->item); }

std::string sexpr(const MVTreeNode *n, int depth, bool pretty) {
    std::string out = pretty ? std::string(2 * depth, ' ') : "";
    if (!n) return out + "NIL";
    if (!n->left && !n->right) return out + item(n);
    const char *sep = pretty ? "\n" : " ";
    return out + "(" + item(n) + sep + sexpr(n->left, depth + 1, pretty) + sep +
           sexpr(n->right, depth + 1, pretty) + ")";
}

void drawn(const MVTreeNode *n, int depth, bool flags[256], std::string &out) {
    for (int i = 1; i < depth; i++) out += flags[i] ? "  " : "| ";
    if (depth > 0) out += flags[depth] ? "\\" : "|";
    if (!n) {
        out += "\n";
        return;
    }
    if (depth > 0) out += "-";
    out += item(n) + "\n";
    if ((n->left || n->right) && depth + 1 < 256) {
        flags[depth + 1] = false;
        drawn(n->left, depth + 1, flags, out);
        flags[depth + 1] = true;
        drawn(n->right, depth + 1, flags, out);
    }
}

bool isBlank(char c) { return c == '\r' || c == '\n' || c == '\t' || c == '\v' || c == ' '; }

// One run of the program on one input.
struct Run {
    const uint8_t *data;
    size_t size;
    size_t pos = 0;  // where the model's next read starts
    FILE *in = nullptr;
    FILE *out = nullptr;
    char *outText = nullptr;
    size_t outSize = 0;
    MVSet *set = nullptr;
    std::set<std::string> model;
    std::string expected;  // the dialogue so far
    size_t checked = 0;    // bytes of output already compared
    std::string pending;   // output of the command read last, due before the next prompt
    bool ended = false;    // quit read, or input exhausted
};

Run *current = nullptr;

// The program's set must hold exactly the model's elements, in order, in a
// valid tree.
void checkSet(const Run &run) {
    FUZZ_CHECK(run.set != nullptr);
    std::string difference = setDifference(run.set, run.model, byStrcmp, [](const void *item, const std::string &e) {
        return e == static_cast<const char *>(item);
    });
    if (!difference.empty()) fuzzFail(difference);
}

// Compares the output written since the last check with the expected dialogue.
void checkOutput(Run &run) {
    FUZZ_CHECK(std::fflush(run.out) == 0);
    FUZZ_CHECK(run.outSize == run.expected.size());
    FUZZ_CHECK(std::memcmp(run.outText + run.checked, run.expected.data() + run.checked,
                           run.outSize - run.checked) == 0);
    run.checked = run.outSize;
}

// The output of one command, applied to the model. `line` is the text the
// program sees: the read cut at its first NUL, carriage return or line feed.
std::string perform(Run &run, const std::string &line, bool *quit) {
    *quit = false;
    const MVTreeNode *root = run.set->root;
    char c = line.empty() ? 0 : line[0];
    if (c == '+' || c == '-' || c == '?') {
        size_t start = 1;
        while (start < line.size() && isBlank(line[start])) start++;
        std::string e = line.substr(start);
        if (e.empty()) return "Error -- element must be a non-empty string!\n";
        bool present = run.model.count(e) != 0;
        if (c == '?')
            return "Element '" + e + (present ? "' is present in the set!\n" : "' is *NOT* present in the set!\n");
        if (c == '-') {
            if (!present) return "There is no element '" + e + "' in the set!\n";
            run.model.erase(e);
            return "Element '" + e + "' successfully removed!\n";
        }
        if (present) return "Element '" + e + "' already exists in the set!\n";
        run.model.insert(e);
        return "Element '" + e + "' successfully added!\n";
    }
    auto is = [&](const char *a, const char *b) { return line == a || line == b; };
    auto pair = [&](char lower, char upper) {
        return line.size() == 2 && (line[0] == lower || line[0] == upper) && (line[1] == lower || line[1] == upper);
    };
    if (is("p", "P")) {
        if (run.model.empty()) return "<the set is empty>\n";
        std::string out;
        for (const std::string &e : run.model) out += "\"" + e + "\" ";
        return out + "\n";
    }
    if (pair('p', 'P')) {
        if (!root) return "<the set is empty>\n";
        bool flags[256] = {};
        std::string out;
        drawn(root, 0, flags, out);
        return out + "\n";
    }
    if (is("s", "S")) return sexpr(root, 0, false) + "\n";
    if (pair('s', 'S')) return sexpr(root, 0, true) + "\n";
    if (is("q", "Q")) {
        *quit = true;
        return "";
    }
    size_t word = 0;
    while (word < line.size() && !isBlank(line[word])) word++;
    return "Invalid option '" + line.substr(0, word) + "'!\n";
}

// Called by the program for every prompt: checks everything up to the prompt,
// then predicts what the program will read and write next.
void atPrompt(Run &run) {
    run.expected += run.pending + kSetMenu + "Selection: ";
    checkOutput(run);
    checkSet(run);
    FUZZ_CHECK(!run.ended);
    if (run.pos >= run.size) {
        run.ended = true;
        run.pending = "\n\n";
        return;
    }
    // A whole line is read, whatever its length, through its line feed.
    size_t end = run.pos;
    while (end < run.size && run.data[end++] != '\n') {
    }
    std::string read(reinterpret_cast<const char *>(run.data + run.pos), end - run.pos);
    run.pos = end;
    std::string line = read.substr(0, std::strcspn(read.c_str(), "\r\n"));
    bool quit;
    std::string out = perform(run, line, &quit);
    run.ended = quit;
    run.pending = quit ? "\n\n" : "\n" + out + "\n";
}

}  // namespace

extern "C" MVSet *__wrap_mvSetCreate(MVCompareFunction cmp, void *data) {
    MVSet *set = __real_mvSetCreate(cmp, data);
    if (current) current->set = set;
    return set;
}

extern "C" ssize_t __wrap_getline(char **line, size_t *size, FILE *stream) {
    if (!current || stream != current->in) return __real_getline(line, size, stream);
    size_t before = current->pos;
    atPrompt(*current);
    ssize_t got = __real_getline(line, size, stream);
    size_t length = current->pos - before;
    FUZZ_CHECK((got >= 0) == (length > 0));
    if (got >= 0)
        FUZZ_CHECK(size_t(got) == length && std::memcmp(*line, current->data + before, length) == 0 &&
                   (*line)[length] == 0);
    return got;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Run run;
    run.data = data;
    run.size = size;
    // fmemopen refuses an empty buffer; an empty input is an empty file.
    run.in = size ? fmemopen(const_cast<uint8_t *>(data), size, "r") : std::fopen("/dev/null", "r");
    run.out = open_memstream(&run.outText, &run.outSize);
    FUZZ_CHECK(run.in && run.out);
    run.expected = kSetBanner;

    FILE *savedIn = stdin, *savedOut = stdout;
    stdin = run.in;
    stdout = run.out;
    current = &run;
    int status = morvenSetMain();
    current = nullptr;
    stdin = savedIn;
    stdout = savedOut;

    FUZZ_CHECK(status == 0);
    FUZZ_CHECK(run.ended);
    run.expected += run.pending;
    checkOutput(run);
    std::fclose(run.in);
    std::fclose(run.out);
    std::free(run.outText);
    return 0;
}
