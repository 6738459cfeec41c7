// Invariants stated in comments and checked in code. TAVRIN_ASSERT is on in
// Debug builds and in the sanitizer builds (scripts/test.sh --sanitize,
// which defines TAVRIN_ASSERTIONS); in a Release build it costs nothing and
// its condition is not evaluated. A broken invariant is a bug, not bad
// input: bad input gets a clear error where it is read, never an assertion.
// A failed assertion names the condition, file and line on stderr and
// aborts, so a test run stops at the first broken invariant.
#pragma once

namespace plat {

[[noreturn]] void AssertionFailed(const char* condition, const char* file, int line);

}  // namespace plat

#if !defined(NDEBUG) || defined(TAVRIN_ASSERTIONS)
#define TAVRIN_ASSERTIONS_ON 1
#define TAVRIN_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::plat::AssertionFailed(#condition, __FILE__, __LINE__))
#else
#define TAVRIN_ASSERTIONS_ON 0
#define TAVRIN_ASSERT(condition) static_cast<void>(sizeof(!(condition)))
#endif
