#include "platform/core/check.h"

#include <cstdio>
#include <cstdlib>

namespace plat {

void AssertionFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace plat
