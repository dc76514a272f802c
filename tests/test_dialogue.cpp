// The parameter dialogue, driven from an in-memory answer stream with the console captured.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "run/dialogue.h"
#include "run/random.h"
#include "run/state.h"
#include "state_helpers.h"

namespace {

struct Answered {
    std::unique_ptr<RunState> s;
    std::string console;
};

// Runs the parameter dialogue on `answers` and returns the state and what it printed.
Answered answer_parameters(const std::string& answers)
{
    Answered a{make_run_state(), {}};
    std::string text = answers;
    FILE* ask = fmemopen(text.empty() ? nullptr : &text[0], text.size(), "r");
    ConsoleCapture console;
    a.s->ask = ask;
    a.s->con = console.stream;
    ask_parameters(*a.s);
    std::fclose(ask);
    a.console = console.text();
    a.s->ask = nullptr;
    a.s->con = nullptr;
    return a;
}

// The log-log slope of a goal in dB per octave, computed at run time in the program's
// order (s / 20, 10 to that power, its log10, over log10(2)); a compile-time folding
// of the same expression may round differently.
double log_log_slope(double goal)
{
    volatile double g = goal;
    return std::log10(std::pow(10.0, g / 20.0)) / std::log10(2.0);
}

// The n-th value (from 1) of a fresh stream.
int value_of_stream(int n)
{
    auto s = make_run_state();
    int v = 0;
    for (int k = 0; k < n; ++k) v = next_random(*s);
    return v;
}

const char* const prompts[] = {
    "\n\n Enter the number of trials.  Suggest > 1000 \n",
    "\n Enter the number of passes \n",
    "\n\n Enter arbitrary integer. \n",
    "\n",
    "\n Enter the maximum number of points for curve-fit\n",
    "\n Enter the slope goal (db/octave).  Typically = 6 \n",
    "\n log-log slope = %8.4g \n",
    "\n Enter the ending frequency for the ramp (Hz) \n",
    "\n Enter the estimated amplitude (G) at the ending frequency. \n",
};

// The console text of a dialogue whose slope prints as `slope_text`.
std::string dialogue_text(const char* slope_text, const std::string& after_max_pts = "")
{
    std::string out;
    for (const char* p : prompts) {
        if (std::string(p) == "\n log-log slope = %8.4g \n")
            out += std::string("\n log-log slope = ") + slope_text + " \n";
        else
            out += p;
        if (std::string(p) == "\n Enter the maximum number of points for curve-fit\n") out += after_max_pts;
    }
    return out;
}

}  // namespace

// The same answers one per line, several on one line (the prompts are printed, nothing
// waits) and with CR LF line ends (the CR is white space) fill the same fields and give
// the same console.
TEST(Dialogue, AnswersHoweverTheLinesAreSplit)
{
    const char* const layouts[] = {
        "2000\n3\n7\n40\n6\n100\n85\n",
        "2000 3\t7 40\n6 100 85",
        "2000\r\n3\r\n7\r\n40\r\n6\r\n100\r\n85\r\n",
    };
    for (const char* answers : layouts) {
        SCOPED_TRACE(answers);
        const Answered a = answer_parameters(answers);
        EXPECT_EQ(a.s->ntrials, 2000);
        EXPECT_EQ(a.s->npasses, 3);
        EXPECT_EQ(a.s->max_pts, 40);
        EXPECT_NEAR(a.s->slope, 0.99658, 1e-5);
        EXPECT_EQ(a.s->f_ramp, 100.0);
        EXPECT_EQ(a.s->amp_ramp, 85.0);
        EXPECT_EQ(a.console, dialogue_text("  0.9966"));
        EXPECT_EQ(next_random(*a.s), value_of_stream(9));  // 7 discards eight values
    }
}

// A word is never consumed: every later numeric prompt misses it the same way.
TEST(Dialogue, WordAtTheTrialsPromptLeavesEveryFieldAtItsStart)
{
    const Answered a = answer_parameters("many\n2000\n3\n7\n40\n6\n100\n85\n");
    EXPECT_EQ(a.s->ntrials, 0);
    EXPECT_EQ(a.s->npasses, 0);
    EXPECT_EQ(a.s->max_pts, 22);
    EXPECT_EQ(a.s->slope, 0.0);
    EXPECT_FALSE(std::signbit(a.s->slope));
    EXPECT_EQ(a.s->f_ramp, 0.0);
    EXPECT_EQ(a.s->amp_ramp, 0.0);
    EXPECT_EQ(a.s->rand_state, 1u);  // nothing discarded
    EXPECT_EQ(a.console, dialogue_text("       0"));
}

// A partial number is split between prompts: 30.5 gives 30 points and .5 dB/octave.
TEST(Dialogue, PartialNumberIsSplitBetweenPrompts)
{
    const Answered a = answer_parameters("10\n1\n0\n30.5\n100\n85\n");
    EXPECT_EQ(a.s->max_pts, 30);
    EXPECT_EQ(a.s->slope, log_log_slope(0.5));
    EXPECT_EQ(a.s->f_ramp, 100.0);
    EXPECT_EQ(a.s->amp_ramp, 85.0);
}

TEST(Dialogue, SlopeGoalIsPrintedAsLogLogSlope)
{
    const struct {
        const char* goal;
        const char* printed;
        double value;
    } cases[] = {
        {"6", "  0.9966", 0.99658},
        {"12", "   1.993", 1.99316},
        {"0", "       0", 0.0},
        {"-6", " -0.9966", -0.99658},
        {"6.0206", "       1", 1.0},
    };
    for (const auto& c : cases) {
        const Answered a = answer_parameters(std::string("10 1 0 40 ") + c.goal + " 100 85\n");
        EXPECT_EQ(a.console, dialogue_text(c.printed)) << "goal " << c.goal;
        EXPECT_NEAR(a.s->slope, c.value, 1e-5) << "goal " << c.goal;
        EXPECT_EQ(a.s->slope, log_log_slope(std::atof(c.goal))) << "goal " << c.goal;
    }
}

TEST(Dialogue, MaximumNumberOfPointsIsKeptBetween22And1000)
{
    const std::string lowered = "\n max_pts above 1000 lowered to 1000 \n";
    const struct {
        const char* answer;
        int32_t max_pts;
        bool lowered;
    } cases[] = {
        {"5", 22, false},     {"21", 22, false},         {"-3", 22, false},
        {"0", 22, false},     {"22", 22, false},         {"23", 23, false},
        {"1000", 1000, false}, {"1001", 1000, true},     {"5000", 1000, true},
        {"99999999999", 1000, true}, {"-99999999999", 22, false}, {"4294967318", 1000, true},
    };
    for (const auto& c : cases) {
        const Answered a = answer_parameters(std::string("10 1 0 ") + c.answer + " 6 100 85\n");
        EXPECT_EQ(a.s->max_pts, c.max_pts) << "answer " << c.answer;
        // the message comes right after the answer, before the slope prompt
        EXPECT_EQ(a.console, dialogue_text("  0.9966", c.lowered ? lowered : "")) << "answer " << c.answer;
        EXPECT_NEAR(a.s->slope, 0.99658, 1e-5) << "answer " << c.answer;
    }
}

// The answers read as long integers are clamped into 32 bits, never wrapped:
// 4294967297 (2^32 + 1) must not become 1.
TEST(Dialogue, LongAnswersAreClampedTo32Bits)
{
    const struct {
        const char* answer;
        int32_t value;
    } cases[] = {
        {"2147483647", INT32_MAX},  {"2147483648", INT32_MAX},  {"4294967297", INT32_MAX},
        {"99999999999", INT32_MAX}, {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN},
        {"-4294967297", INT32_MIN}, {"+17", 17},
        {"99999999999999999999999", INT32_MAX}, {"-99999999999999999999999", INT32_MIN},
    };
    for (const auto& c : cases) {
        const Answered a = answer_parameters(std::string(c.answer) + " " + c.answer + " -1 40 6 100 85\n");
        EXPECT_EQ(a.s->ntrials, c.value) << "answer " << c.answer;
        EXPECT_EQ(a.s->npasses, c.value) << "answer " << c.answer;
        EXPECT_EQ(a.s->max_pts, 40) << "answer " << c.answer;
    }
}

// The arbitrary integer k discards k + 1 values, a negative one or a word none.
TEST(Dialogue, ArbitraryIntegerDiscardsDraws)
{
    const struct {
        const char* answer;
        int first_draw;
    } cases[] = {
        {"0", 18467}, {"1", 6334}, {"3", 19169}, {"-1", 41}, {"-5", 41}, {"-2147483648", 41},
        {"-99999999999", 41}, {"9", value_of_stream(11)}, {"1000", value_of_stream(1002)},
    };
    for (const auto& c : cases) {
        const Answered a = answer_parameters(std::string("10 1 ") + c.answer + " 40 6 100 85\n");
        EXPECT_EQ(next_random(*a.s), c.first_draw) << "answer " << c.answer;
        EXPECT_EQ(a.s->max_pts, 40) << "answer " << c.answer;
    }
}

// A word at the arbitrary-integer prompt discards nothing; the fields before it keep their answers.
TEST(Dialogue, WordAsArbitraryIntegerDiscardsNothing)
{
    const Answered a = answer_parameters("10 1 seed 40 6 100 85\n");
    EXPECT_EQ(a.s->ntrials, 10);
    EXPECT_EQ(a.s->npasses, 1);
    EXPECT_EQ(a.s->rand_state, 1u);
    EXPECT_EQ(a.s->max_pts, 22);
    EXPECT_EQ(a.s->slope, 0.0);
}

// The largest answers end at once and discard 2^31 values: with the stream's period
// of 2^32, another 2^31 steps bring it back to its start.
TEST(Dialogue, LargestArbitraryIntegerDiscards2To31Values)
{
    for (const char* answer : {"2147483647", "99999999999"}) {
        const Answered a = answer_parameters(std::string("10 1 ") + answer + " 40 6 100 85\n");
        EXPECT_NE(a.s->rand_state, 1u) << answer;
        skip_random(*a.s, uint64_t{1} << 31);
        EXPECT_EQ(a.s->rand_state, 1u) << answer;
    }
    const Answered b = answer_parameters("10 1 2147483646 40 6 100 85\n");
    skip_random(*b.s, (uint64_t{1} << 31) + 1);
    EXPECT_EQ(b.s->rand_state, 1u);
}

// Answers that run out leave the remaining fields at their start values.
TEST(Dialogue, AnswersEndingEarly)
{
    const Answered a = answer_parameters("2000 3");
    EXPECT_EQ(a.s->ntrials, 2000);
    EXPECT_EQ(a.s->npasses, 3);
    EXPECT_EQ(a.s->rand_state, 1u);
    EXPECT_EQ(a.s->max_pts, 22);
    EXPECT_EQ(a.s->slope, 0.0);
    EXPECT_EQ(a.console, dialogue_text("       0"));
}
