// A check that stops the fuzzer with a message when it fails.
#ifndef MORVEN_FUZZ_CHECK_H
#define MORVEN_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                              \
    do {                                                                              \
        if (!(cond)) {                                                                \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                             \
        }                                                                             \
    } while (0)

// Stops the fuzzer with a model driver's failure.
inline void fuzzFail(const std::string &what) {
    std::fprintf(stderr, "check failed: %s\n", what.c_str());
    std::abort();
}

#endif
