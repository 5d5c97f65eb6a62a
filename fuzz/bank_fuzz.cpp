// Fuzzes the bank's pattern expansion: input is "<hit byte><list>\0<name>".
// Every path handed to the load callback must equal the reference expansion,
// and the first alternative chosen by the hit byte yields the resource.
#include <morven/bank.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bank_reference.h"
#include "fuzz_check.h"

namespace {

struct Trace {
    std::vector<std::string> paths;
    size_t hitAt;
    int resource;
};

void *load(const char *path, void *data) {
    Trace *t = static_cast<Trace *>(data);
    t->paths.push_back(path);
    return t->paths.size() - 1 == t->hitAt ? &t->resource : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    size_t zero = rest.find('\0');
    std::string list = rest.substr(0, zero);
    std::string name = zero == std::string::npos ? "" : rest.substr(zero + 1);
    name = name.substr(0, name.find('\0'));
    // Long names stress the path buffer's size.
    if (data[0] & 0x80) name = std::string(size_t(data[0] & 0x7f) * 97, 'N') + name;

    std::vector<std::string> expected = referencePaths(list, name);
    Trace trace{{}, size_t(data[0] & 7), 0};
    MVBank *bank = mvBankCreate(list.c_str(), load, nullptr);
    FUZZ_CHECK(bank != nullptr);
    void *r = mvBankLoad(bank, name.c_str(), &trace);
    size_t tries = trace.hitAt < expected.size() ? trace.hitAt + 1 : expected.size();
    FUZZ_CHECK(trace.paths.size() == tries);
    for (size_t i = 0; i < tries; i++) FUZZ_CHECK(trace.paths[i] == expected[i]);
    FUZZ_CHECK((r != nullptr) == (trace.hitAt < expected.size()));
    // A held name is answered without a callback.
    if (r) {
        FUZZ_CHECK(mvBankLoad(bank, name.c_str(), &trace) == r);
        FUZZ_CHECK(trace.paths.size() == tries);
    }
    mvBankDestroy(bank);
    return 0;
}
