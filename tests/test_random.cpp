#include <gtest/gtest.h>

#include <cstdint>

#include "run/random.h"
#include "run/state.h"

TEST(Random, FirstValuesAfterStart)
{
    auto s = make_run_state();
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int v : expected) EXPECT_EQ(next_random(*s), v);
}

TEST(Random, ValuesStayInFifteenBits)
{
    auto s = make_run_state();
    bool seen_low = false, seen_high = false;
    for (int k = 0; k < 200000; ++k) {
        const int v = next_random(*s);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
        seen_low = seen_low || v < 100;
        seen_high = seen_high || v > 32667;
    }
    EXPECT_TRUE(seen_low);
    EXPECT_TRUE(seen_high);
}

// The jump must land exactly where the same number of single draws lands,
// from the start and from a state in the middle of the stream.
TEST(Random, SkipEqualsDrawingOneByOne)
{
    const uint64_t counts[] = {0, 1, 2, 3, 4, 7, 8, 255, 256, 65535, 65536, 65537, 1000003, 3000000};
    auto jumped = make_run_state();
    auto walked = make_run_state();
    for (uint32_t start : {1u, 0u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        for (uint64_t count : counts) {
            jumped->rand_state = start;
            walked->rand_state = start;
            skip_random(*jumped, count);
            for (uint64_t k = 0; k < count; ++k) next_random(*walked);
            EXPECT_EQ(jumped->rand_state, walked->rand_state) << "start " << start << ", count " << count;
            EXPECT_EQ(next_random(*jumped), next_random(*walked));
        }
    }
}

// The stream has period 2^32 (odd increment, multiplier 1 mod 4), which checks the
// large jumps without walking them: 2^31 steps twice, or 2^32 steps, come back to the start.
TEST(Random, LargeJumpsFollowTheFullPeriod)
{
    auto s = make_run_state();
    skip_random(*s, uint64_t{1} << 31);
    EXPECT_NE(s->rand_state, 1u);
    skip_random(*s, uint64_t{1} << 31);
    EXPECT_EQ(s->rand_state, 1u);

    skip_random(*s, uint64_t{1} << 32);
    EXPECT_EQ(s->rand_state, 1u);

    // 2^32 - 1 steps ahead is one step behind: one more draw returns to the start
    // (whose bits 16 to 30 are 0), and the next gives the first value again.
    skip_random(*s, (uint64_t{1} << 32) - 1);
    EXPECT_NE(s->rand_state, 1u);
    EXPECT_EQ(next_random(*s), 0);
    EXPECT_EQ(s->rand_state, 1u);
    EXPECT_EQ(next_random(*s), 41);
}

// Composing jumps: a + b steps equal a steps then b steps.
TEST(Random, JumpsCompose)
{
    const uint64_t pairs[][2] = {{2147483648u, 12345}, {2147483647u, 1}, {99999, 2147483647u}, {1u << 20, 1u << 20}};
    auto once = make_run_state();
    auto twice = make_run_state();
    for (const auto& p : pairs) {
        once->rand_state = 1;
        twice->rand_state = 1;
        skip_random(*once, p[0] + p[1]);
        skip_random(*twice, p[0]);
        skip_random(*twice, p[1]);
        EXPECT_EQ(once->rand_state, twice->rand_state) << p[0] << " + " << p[1];
    }
}
