#pragma once

#include <cstdio>
#include <cstdlib>

// A broken expectation is a finding: say which and abort, which libFuzzer
// records as a crash and a replay run as a failed test.
[[noreturn]] inline void fuzzCheckFailed(const char *what, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : fuzzCheckFailed(#condition, __FILE__, __LINE__))
