#pragma once

// What the fuzz targets check beyond the sanitizers. A broken promise aborts, so libFuzzer keeps the input and a
// regression test that replays it fails loudly.

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void FuzzCheckFailed(const char *what, const char *file, int line) {
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition, what) ((condition) ? static_cast<void>(0) : FuzzCheckFailed(what, __FILE__, __LINE__))
