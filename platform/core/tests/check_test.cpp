// The invariant check: on, a false condition stops the program naming it;
// a true one does nothing and is evaluated once.
#define TAVRIN_ASSERTIONS 1
#include "platform/core/check.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckDeathTest, ABrokenInvariantStopsTheProgramAndNamesIt) {
    EXPECT_EQ(TAVRIN_ASSERTIONS_ON, 1);
    const int pages = 3, limit = 2;
    EXPECT_DEATH(TAVRIN_ASSERT(pages <= limit), "check_test.cpp:[0-9]+: invariant broken: pages <= limit");
    int evaluated = 0;
    TAVRIN_ASSERT(++evaluated == 1);
    EXPECT_EQ(evaluated, 1);
}

}  // namespace
