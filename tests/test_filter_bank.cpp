#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "run/state.h"
#include "spectrum/filter_bank.h"
#include "state_helpers.h"

// True when `actual` agrees with `printed`, a value given to about seven significant digits.
static ::testing::AssertionResult agrees_to_7_digits(double actual, double printed)
{
    if (std::fabs(actual - printed) <= 6e-7 * std::fabs(printed)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual << " is not " << printed << " to seven digits";
}

static RunState* bank_for(double dt)
{
    RunState& s = fresh_state();
    s.dt = dt;
    s.sr = 1 / dt;
    fill_filter_bank(s);
    return &s;
}

TEST(FilterBank, FrequencyTableIsTheThirdOctavesWithGeometricMeansBetween)
{
    const double third_octaves[40] = {2.5,  3.15, 4,    5,    6.3,  8,    10,    12.5,  16,    20,
                                      25,   31.5, 40,   50,   63,   80,   100,   125,   160,   200,
                                      250,  315,  400,  500,  630,  800,  1000,  1250,  1600,  2000,
                                      2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
    auto s = bank_for(0.0001);
    EXPECT_EQ(s->nf, 78);
    EXPECT_EQ(s->damp, 0.05);
    for (int k = 0; k < 40; ++k) EXPECT_EQ(s->f[2 * k + 1], third_octaves[k]) << "f[" << 2 * k + 1 << "]";

    const struct {
        int j;
        double printed;
    } means[] = {{2, 2.806243}, {12, 8.944272}, {14, 11.18034}, {78, 17888.54}};
    for (const auto& m : means) EXPECT_TRUE(agrees_to_7_digits(s->f[m.j], m.printed)) << "f[" << m.j << "]";

    // Nothing outside entries 1..79 is set, and no coefficient outside 1..78.
    EXPECT_EQ(s->f[0], 0.0);
    EXPECT_EQ(s->f[80], 0.0);
    EXPECT_EQ(s->a1[0], 0.0);
    EXPECT_EQ(s->a1[79], 0.0);
    EXPECT_EQ(s->b2[79], 0.0);
}

TEST(FilterBank, FrequencyTableDoesNotDependOnTheSampleInterval)
{
    double fine[max_freqs];
    std::copy(bank_for(0.00004)->f, bank_for(0.00004)->f + max_freqs, fine);
    const RunState* coarse = bank_for(0.02);
    for (int j = 0; j < max_freqs; ++j) EXPECT_EQ(fine[j], coarse->f[j]) << "f[" << j << "]";
}

// The coefficients at 10 Hz (j = 13) and 100 Hz (j = 33) for two sample intervals;
// they depend on f and dt only through their product.
TEST(FilterBank, CoefficientExamples)
{
    const struct {
        double dt;
        int j;
        double a1, a2, b1, b2;
    } cases[] = {
        {0.0001, 13, 1.999332, -0.9993719, 6.283185e-4, -5.888404e-4},
        {0.001, 13, 1.989802, -0.9937365, 6.283185e-3, -2.337937e-3},
        {0.0001, 33, 1.989802, -0.9937365, 6.283185e-3, -2.337937e-3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "dt=" << c.dt << " j=" << c.j);
        auto s = bank_for(c.dt);
        EXPECT_TRUE(agrees_to_7_digits(s->a1[c.j], c.a1));
        EXPECT_TRUE(agrees_to_7_digits(s->a2[c.j], c.a2));
        EXPECT_TRUE(agrees_to_7_digits(s->b1[c.j], c.b1));
        EXPECT_TRUE(agrees_to_7_digits(s->b2[c.j], c.b2));
        EXPECT_EQ(s->b3[c.j], 0.0);
    }
}

// Every frequency gets a filter, also those above half the sample rate.
TEST(FilterBank, EveryFrequencyIsBuiltWhateverTheSampleRate)
{
    auto s = bank_for(0.001);  // 1 kHz: f[78] is far above the Nyquist frequency
    for (int j = 1; j <= 78; ++j) {
        EXPECT_NE(s->a2[j], 0.0) << "j=" << j;
        EXPECT_NE(s->b1[j], 0.0) << "j=" << j;
        EXPECT_TRUE(std::isfinite(s->a1[j]) && std::isfinite(s->b2[j])) << "j=" << j;
    }
}

TEST(FilterBank, BuildPrintsTheDateLineAndTakesTheStartTime)
{
    RunState& s = fresh_state();
    s.dt = 0.001;
    ConsoleCapture con;
    s.con = con.stream;
    const long before = static_cast<long>(std::time(nullptr));
    build_filter_bank(s);
    const long after = static_cast<long>(std::time(nullptr));
    const std::string text = con.text();

    EXPECT_GE(s.start_time, before);
    EXPECT_LE(s.start_time, after);
    const std::string head = "\n\n Current time and date: \n   ";
    ASSERT_EQ(text.compare(0, head.size(), head), 0) << text;
    // The clock's 24-character text form and its line feed end the output.
    EXPECT_EQ(text.size(), head.size() + 25) << text;
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(s.f[13], 10.0);
}
