#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target. A broken one says which and where, and aborts, so libFuzzer
// keeps the input that broke it.
[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

#define REQUIRE(condition)                                    \
  do {                                                        \
    if (!(condition)) Broken(#condition, __FILE__, __LINE__); \
  } while (0)
