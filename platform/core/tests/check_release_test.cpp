// The invariant check as a Release build has it (NDEBUG, no TAVRIN_ASSERTIONS):
// the condition is neither evaluated nor able to stop the program, whatever
// this test binary's own build type.
#undef TAVRIN_ASSERTIONS
#ifndef NDEBUG
#define NDEBUG 1
#endif
#include "platform/core/check.h"

#include <gtest/gtest.h>

namespace {

int sideEffects = 0;
bool Touch() {
    ++sideEffects;
    return false;
}

TEST(CheckInRelease, TheConditionIsNeitherEvaluatedNorChecked) {
    EXPECT_EQ(TAVRIN_ASSERTIONS_ON, 0);
    int evaluated = 0;
    TAVRIN_ASSERT(++evaluated == 99);
    TAVRIN_ASSERT(Touch());
    EXPECT_EQ(evaluated, 0);
    EXPECT_EQ(sideEffects, 0);
}

}  // namespace
