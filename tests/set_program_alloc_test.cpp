// The set exerciser with each of its allocations refused in turn: set
// creation, tree nodes and element copies. The program runs in-process
// (examples/set.c is compiled into this binary with main renamed) on a
// scripted dialogue; a refused add must say so, leave the set without the
// element, and every later answer must agree with that.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "alloc_fail.h"
#include "set_dialogue.h"

extern "C" int morvenSetMain(void);

namespace {

struct Dialogue {
    int status;
    std::string out;
};

// Runs the program with input as its standard input; standard error is
// captured too and dropped.
Dialogue runSet(const std::string &input) {
    FILE *in = fmemopen(const_cast<char *>(input.data()), input.size(), "r");
    char *outText = nullptr, *errText = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE *out = open_memstream(&outText, &outSize);
    FILE *err = open_memstream(&errText, &errSize);
    FILE *savedIn = stdin, *savedOut = stdout, *savedErr = stderr;
    stdin = in;
    stdout = out;
    stderr = err;
    int status = morvenSetMain();
    stdin = savedIn;
    stdout = savedOut;
    stderr = savedErr;
    std::fclose(in);
    std::fclose(out);
    std::fclose(err);
    Dialogue d{status, std::string(outText, outSize)};
    std::free(outText);
    std::free(errText);
    return d;
}

// The script: twenty adds (more than one node chunk), a repeated add, a
// removal and a re-add, queries and a listing.
std::vector<std::string> script() {
    std::vector<std::string> commands;
    for (int i = 0; i < 20; i++) commands.push_back("+e" + std::to_string(100 + (i * 7) % 20));
    for (const char *c : {"+e103", "-e105", "?e105", "+e105", "?e107", "?e111", "p"}) commands.push_back(c);
    return commands;
}

// The answers segment by segment: the text after each "Selection: " and its line end.
std::vector<std::string> answers(const std::string &out) {
    std::vector<std::string> segments;
    const std::string prompt = "Selection: \n";
    for (size_t at = out.find(prompt); at != std::string::npos;) {
        size_t next = out.find(prompt, at + prompt.size());
        segments.push_back(out.substr(at + prompt.size(), next == std::string::npos ? next : next - at - prompt.size()));
        at = next;
    }
    return segments;
}

}  // namespace

TEST(SetProgramAllocation, EveryRefusedAllocationIsReportedAndKeepsTheDialogueConsistent) {
    const std::vector<std::string> commands = script();
    std::string input;
    for (const std::string &c : commands) input += c + "\n";
    input += "q\n";

    for (bool sticky : {false, true}) {
        bool started = false;
        long lastRefusedAdd = -1;
        for (long k = 0;; k++) {
            SCOPED_TRACE(testing::Message() << "allocation " << k << (sticky ? " and every later one" : ""));
            allocfail::failAt(k, sticky);
            Dialogue d = runSet(input);
            long made = allocfail::disarm();
            if (d.status != 0) {
                // The set itself could not be made: nothing on standard output.
                EXPECT_FALSE(started) << "only the first allocations make the set";
                EXPECT_EQ(d.out, "");
                continue;
            }
            started = true;
            std::vector<std::string> segments = answers(d.out);
            ASSERT_EQ(segments.size(), commands.size() + 1);

            // Rebuild the whole dialogue from a model, taking from the
            // output only which adds were refused.
            std::set<std::string> model;
            std::string expected = kSetBanner;
            std::vector<long> refusedAdds;
            bool refusing = false;
            for (size_t i = 0; i < commands.size(); i++) {
                const std::string e = commands[i].substr(1);
                std::string answer;
                switch (commands[i][0]) {
                case '+':
                    if (model.count(e)) {
                        answer = "Element '" + e + "' already exists in the set!\n";
                    } else if (segments[i].rfind("Error adding", 0) == 0) {
                        answer = "Error adding element '" + e + "' -- probably out of memory!\n";
                        refusedAdds.push_back(long(i));
                        refusing = true;
                    } else {
                        EXPECT_FALSE(sticky && refusing) << "every add after a sticky refusal fails";
                        answer = "Element '" + e + "' successfully added!\n";
                        model.insert(e);
                    }
                    break;
                case '-':
                    answer = model.erase(e) ? "Element '" + e + "' successfully removed!\n"
                                            : "There is no element '" + e + "' in the set!\n";
                    break;
                case '?':
                    answer = "Element '" + e + (model.count(e) ? "' is present in the set!\n"
                                                               : "' is *NOT* present in the set!\n");
                    break;
                default:
                    for (const std::string &m : model) answer += "\"" + m + "\" ";
                    answer = (model.empty() ? "<the set is empty>" : answer) + "\n";
                }
                expected += kSetMenu + "Selection: \n" + answer + "\n";
            }
            expected += kSetMenu + "Selection: \n\n";
            EXPECT_EQ(d.out, expected);

            if (made <= k) {
                EXPECT_TRUE(refusedAdds.empty());
                break;
            }
            ASSERT_FALSE(refusedAdds.empty()) << "a refused allocation must show";
            if (!sticky) {
                EXPECT_EQ(refusedAdds.size(), 1u);
                EXPECT_GE(refusedAdds[0], lastRefusedAdd) << "later allocations belong to later adds";
                lastRefusedAdd = refusedAdds[0];
            }
        }
        EXPECT_TRUE(started);
    }
}
