#include <gtest/gtest.h>

#include "run/random.h"
#include "run/state.h"

TEST(Random, FirstValuesAfterStart)
{
    auto s = make_run_state();
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int v : expected) EXPECT_EQ(next_random(*s), v);
}
