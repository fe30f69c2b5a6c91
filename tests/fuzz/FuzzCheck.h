// A broken property aborts, so that libFuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                    \
    ((condition) ? (void)0                                                                       \
                 : (std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition), \
                    std::abort()))

inline bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}
