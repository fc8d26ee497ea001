#pragma once

#include <cstdio>
#include <cstdlib>

// A rule that does not hold is a finding: libFuzzer keeps the input that broke it when the process
// aborts.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "rule broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
