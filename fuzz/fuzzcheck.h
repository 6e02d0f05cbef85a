#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: a broken one prints what and stops, so libFuzzer keeps the
// input that broke it.
[[noreturn]] inline void FuzzInvariantBroken(const char *target, const char *what)
{
    std::fprintf(stderr, "%s invariant broken: %s\n", target, what);
    std::abort();
}

#define FUZZ_CHECK(target, cond)                                                           \
    do {                                                                                   \
        if (!(cond))                                                                       \
            FuzzInvariantBroken(target, #cond);                                            \
    } while (0)
