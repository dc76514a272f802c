#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "run/state.h"
#include "search/breakpoints.h"
#include "search/curve.h"
#include "search/passes.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"
#include "state_helpers.h"

// ---------------------------------------------------------------------------------
// Breakpoints.
// ---------------------------------------------------------------------------------

static RunState& breakpoint_state(double xone, double t_last, int max_pts = 22)
{
    RunState& s = fresh_state();
    s.xone = xone;
    s.t_last = t_last;
    s.max_pts = max_pts;
    return s;
}

TEST(Breakpoints, NumberOfBreakpointsFromTheDraw)
{
    const struct {
        int draw, max_pts, nn;
    } cases[] = {
        {0, 22, 20},     {16383, 22, 20},  {16384, 22, 21},  {32766, 22, 21},
        {32767, 22, 22}, {41, 22, 20},     {32767, 1000, 1000}, {16384, 1000, 510},
        {32766, 1000, 999},
    };
    for (const auto& c : cases) {
        RunState& s = breakpoint_state(-0.5, 1.5, c.max_pts);
        set_next_draw(s, c.draw);
        draw_breakpoints(s);
        EXPECT_EQ(s.nn, c.nn) << "draw " << c.draw << " max_pts " << c.max_pts;
    }
}

// Properties of every table: sorted, fixed ends, random times in [0, t_last].
static void expect_well_formed(const RunState& s)
{
    ASSERT_GE(s.nn, 20);
    ASSERT_LE(s.nn, s.max_pts);
    EXPECT_TRUE(std::is_sorted(s.bp, s.bp + s.nn));
    EXPECT_EQ(s.bp[s.nn - 1], s.t_last);
}

TEST(Breakpoints, RecordStartingBeforeTimeZero)
{
    const double fixed[14] = {-0.5, -0.45, -0.4, -0.35, -0.3, -0.25, -0.2, -0.15, -0.1, -0.075, -0.05, -0.025, -0.005, 0.0};
    RunState& s = breakpoint_state(-0.5, 1.5);
    for (int trial = 0; trial < 30; ++trial) {
        draw_breakpoints(s);
        expect_well_formed(s);
        for (int k = 0; k < 14; ++k) EXPECT_EQ(s.bp[k], fixed[k]) << "bp[" << k << "]";
        for (int k = 14; k < s.nn; ++k) {
            EXPECT_GE(s.bp[k], 0.0);
            EXPECT_LE(s.bp[k], 1.5);
        }
        EXPECT_EQ(s.onset, -0.025);
    }
}

TEST(Breakpoints, RecordStartingAtTimeZero)
{
    RunState& s = breakpoint_state(0.0, 1.0);
    draw_breakpoints(s);
    expect_well_formed(s);
    for (int k = 0; k < 14; ++k) EXPECT_EQ(s.bp[k], 0.0) << "bp[" << k << "]";
    EXPECT_EQ(s.onset, 0.0);
}

// The fixed times are fractions of |xone| before zero, so they sort before xone itself.
TEST(Breakpoints, RecordStartingAfterTimeZero)
{
    const double fractions[12] = {0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.15, 0.1, 0.05, 0.01};
    RunState& s = breakpoint_state(0.2, 1.0);
    for (int trial = 0; trial < 10; ++trial) {
        draw_breakpoints(s);
        expect_well_formed(s);
        for (int k = 0; k < 12; ++k) EXPECT_DOUBLE_EQ(s.bp[k], -0.2 * fractions[k]) << "bp[" << k << "]";
        EXPECT_EQ(s.bp[12], 0.0);
        EXPECT_NE(std::find(s.bp, s.bp + s.nn, 0.2), s.bp + s.nn);
        EXPECT_DOUBLE_EQ(s.onset, -0.01);
    }
}

// A record that ends at time 0: every random time is 0.
TEST(Breakpoints, RecordEndingAtTimeZero)
{
    RunState& s = breakpoint_state(-0.5, 0.0);
    draw_breakpoints(s);
    expect_well_formed(s);
    EXPECT_EQ(s.bp[12], -0.005);
    for (int k = 13; k < s.nn; ++k) EXPECT_EQ(s.bp[k], 0.0) << "bp[" << k << "]";
}

// The draws of one table, in order: nn, the exponent, then one per random breakpoint
// (k = 14 .. nn-2) and one more after a draw of 32767, whose fraction is used without
// the exponent. Here the first random breakpoint draws 32767.
TEST(Breakpoints, DrawOf32767TakesAFreshFractionAndAdvancesTheStreamByTwo)
{
    RunState& s = breakpoint_state(-0.5, 1.5);
    set_draw_after(s, 2, 32767);
    const std::vector<int> d = peek_draws(s, 40);
    ASSERT_EQ(d[2], 32767);
    const int nn = static_cast<int>(2 * d[0] / 32767.0) + 20;
    ASSERT_NE(d[1], 0);  // an exponent above 1
    ASSERT_NE(d[3], 0);
    ASSERT_NE(d[3], 32767);
    const double expo = ((d[1] * 0.5) / 32767.0) + 1.0;

    std::vector<double> expected = {1.5 * (d[3] / 32767.0)};
    for (int k = 15; k <= nn - 2; ++k) {
        ASSERT_NE(d[k - 11], 32767);
        expected.push_back(1.5 * std::pow(d[k - 11] / 32767.0, expo));
    }
    std::sort(expected.begin(), expected.end());
    const uint32_t after = state_after(s, 2 + (nn - 15) + 1);

    draw_breakpoints(s);
    ASSERT_EQ(s.nn, nn);
    const std::vector<double> drawn(s.bp + 14, s.bp + nn - 1);
    EXPECT_EQ(drawn, expected);
    EXPECT_EQ(s.rand_state, after);
}

// Without a 32767 a table takes 2 + (nn - 15) draws, and the levels one more.
TEST(Breakpoints, DrawsPerTrial)
{
    RunState& s = breakpoint_state(-0.5, 1.5, 40);
    make_record_decimal(s, -500, 1000.0, 2001, nullptr);
    for (int trial = 0; trial < 20; ++trial) {
        const std::vector<int> d = peek_draws(s, 60);
        const int nn = static_cast<int>((20 * d[0]) / 32767.0) + 20;
        if (std::find(d.begin() + 2, d.begin() + nn - 13, 32767) != d.begin() + nn - 13) break;
        const uint32_t after = state_after(s, 2 + (nn - 15) + 1);
        draw_breakpoints(s);
        compute_levels(s);
        EXPECT_EQ(s.nn, nn);
        EXPECT_EQ(s.rand_state, after);
    }
}

// ---------------------------------------------------------------------------------
// Levels.
// ---------------------------------------------------------------------------------

// A table of five breakpoints whose inner one, bp[2], has the given neighbours, and seven
// samples: 3, 6 and 9 at the expected window's ends and middle, 1000 just outside it.
static RunState& window_state(double left, double mid, double right, double dt, double lo, double hi)
{
    RunState& s = fresh_state();
    s.dt = dt;
    s.nn = 5;
    const double bp[5] = {-10, left, mid, right, 100};
    std::copy(bp, bp + 5, s.bp);
    const double xa[7] = {lo - 0.05, lo, (lo + hi) / 2, hi, hi + 0.05, 50, 60};
    const double val[7] = {1000, 3, 6, 9, 1000, 1000, 1000};
    s.n = 7;
    for (int i = 0; i < 7; ++i) {
        s.xa[i] = xa[i];
        s.amp_base[i] = val[i];
    }
    for (int k = 0; k < max_bps; ++k) s.level[k] = 99;
    return s;
}

TEST(Levels, WindowAroundEachBreakpoint)
{
    const struct {
        double left, mid, right, dt, lo, hi;
        const char* what;
    } cases[] = {
        {0.25, 0.5, 0.75, 0.01, 0.375, 0.625, "equal half-gaps"},
        {0.25, 0.5, 1.0, 0.01, 0.25, 0.75, "larger gap on the right"},
        {0.0, 0.5, 0.75, 0.01, 0.25, 0.75, "larger gap on the left"},
        {0.5, 0.5, 0.5, 0.125, 0.25, 0.75, "zero width, widened by 2 dt each side"},
        {0.25, 0.5, 0.5, 0.125, 0.375, 0.625, "exactly 2 dt wide, not widened"},
    };
    for (const auto& c : cases) {
        RunState& s = window_state(c.left, c.mid, c.right, c.dt, c.lo, c.hi);
        compute_levels(s);
        EXPECT_EQ(s.level[2], 6.0) << c.what;
        EXPECT_EQ(s.level[0], 0.0) << c.what;
        EXPECT_EQ(s.level[1], 0.0) << c.what;
    }
}

TEST(Levels, WindowWithFewerThanThreeSamplesGivesZero)
{
    RunState& s = window_state(0.25, 0.5, 0.75, 0.01, 0.375, 0.625);
    s.xa[2] = 0.7;  // only the window's two ends remain inside
    compute_levels(s);
    EXPECT_EQ(s.level[2], 0.0);
    s.xa[2] = 0.5;
    s.amp_base[2] = 6;
    compute_levels(s);
    EXPECT_EQ(s.level[2], 6.0);
}

// The last level is the drawn fraction times the mean of the last seven samples.
TEST(Levels, LastLevelIsAFractionOfTheMeanOfTheLastSeven)
{
    const struct {
        int draw;
        double level;
    } cases[] = {{32767, 4.0}, {0, 0.0}, {16384, (16384 / 32767.0 * 28) / 7.0}};
    for (const auto& c : cases) {
        RunState& s = fresh_state();
        make_record_decimal(s, -5, 10.0, 10, nullptr);
        const double v[10] = {1000, 1000, 1000, 1, 2, 3, 4, 5, 6, 7};
        std::copy(v, v + 10, s.amp_base);
        s.nn = 4;
        const double bp[4] = {-0.5, -0.45, 0.2, 0.4};
        std::copy(bp, bp + 4, s.bp);
        set_next_draw(s, c.draw);
        const uint32_t after = state_after(s, 1);
        compute_levels(s);
        EXPECT_EQ(s.level[3], c.level) << c.draw;
        EXPECT_EQ(s.rand_state, after);
    }
}

static double constant_signal(double)
{
    return 2.5;
}

TEST(Levels, ConstantSignalGivesItsValueAtEveryInnerBreakpoint)
{
    RunState& s = breakpoint_state(-0.5, 1.5, 40);
    make_record_decimal(s, -500, 1000.0, 2001, constant_signal);
    draw_breakpoints(s);
    const int draw = peek_draws(s, 1)[0];
    compute_levels(s);
    EXPECT_EQ(s.level[0], 0.0);
    EXPECT_EQ(s.level[1], 0.0);
    for (int k = 2; k <= s.nn - 2; ++k) EXPECT_EQ(s.level[k], 2.5) << k;
    EXPECT_DOUBLE_EQ(s.level[s.nn - 1], draw / 32767.0 * 2.5);
}

// ---------------------------------------------------------------------------------
// Curve evaluation.
// ---------------------------------------------------------------------------------

// Breakpoints 0.25, 0.5, 0.5, 1.0 with dt = 0.0625: the zero-width segment [0.5, 0.5] is
// widened to [0.375, 0.625], but a sample on 0.5 belongs to the earlier segment.
TEST(Curve, SegmentRules)
{
    RunState& s = fresh_state();
    s.dt = 0.0625;
    s.nn = 6;
    const double bp[6] = {0, 0.25, 0.5, 0.5, 1.0, 2.0};
    const double level[6] = {0, 10, 20, 30, 40, 50};
    std::copy(bp, bp + 6, s.bp);
    std::copy(level, level + 6, s.level);
    const struct {
        double t, curve;
        const char* what;
    } samples[] = {
        {0.5, 20, "on a breakpoint: end of [0.25, 0.5], w = 1"},
        {0.5625, 27.5, "widened segment [0.375, 0.625], w = 0.75"},
        {0.6875, 33.75, "[0.5, 1.0], w = 0.375"},
        {0.125, 5, "[0, 0.25], w = 0.5"},
        {2.0, 50, "the last time"},
        {2.125, 0, "beyond the reach of every segment"},
    };
    s.n = 6;
    double ms = 0;
    for (int i = 0; i < 6; ++i) {
        s.xa[i] = samples[i].t;
        s.amp_base[i] = 100;
        s.amp[i] = -7;
        s.curve[i] = 99;
        if (i < 5) ms += (100 - samples[i].curve) * (100 - samples[i].curve);
    }
    evaluate_curve(s);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.curve[i], samples[i].curve) << samples[i].what;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(s.amp[i], 100 - samples[i].curve) << samples[i].what;
    EXPECT_EQ(s.amp[5], -7);  // a sample that no segment holds keeps its amp
    EXPECT_EQ(s.ms, ms);
}

// ---------------------------------------------------------------------------------
// Passes and trials.
// ---------------------------------------------------------------------------------

static double wobbly(double t)
{
    return 3.0 * std::sin(70.0 * t) + (t > 0 ? 20.0 * std::exp(-30.0 * t) * std::sin(900.0 * t) + 5.0 : 0.0);
}

// A record of 200 samples at 1 kHz from -0.1 s, ready for the search.
static RunState& search_state(int ntrials, int npasses, double (*fn)(double) = wobbly)
{
    RunState& s = fresh_state();
    make_record_decimal(s, -100, 1000.0, 200, fn);
    s.ntrials = ntrials;
    s.npasses = npasses;
    s.max_pts = 22;
    s.slope = 0.9966;
    s.f_ramp = 50;
    s.amp_ramp = 20;
    fill_filter_bank(s);
    s.start_time = static_cast<long>(std::time(nullptr));
    run_reference_spectrum(s);
    return s;
}

// The progress counter runs over the whole run: with 250 trials and 2 passes the lines
// come at trials 100 and 200 of pass 1 and 50, 150 and 250 of pass 2.
TEST(Passes, ProgressLinesCountTheTrialsOfTheWholeRun)
{
    RunState& s = search_state(250, 2);
    ConsoleCapture con;
    s.con = con.stream;
    run_passes(s);
    const std::string text = con.text();
    const size_t pass2 = text.find("\n\n pass = 2 \n\n");
    ASSERT_NE(pass2, std::string::npos);
    ASSERT_EQ(text.find("\n\n pass = 1 \n\n"), 0u);

    const std::regex progress(" ([0-9]+)  [0-9]+ sec\n");
    std::vector<long> before, after;
    for (std::sregex_iterator it(text.begin(), text.end(), progress), end; it != end; ++it) {
        const long trial = std::stol((*it)[1]);
        (static_cast<size_t>(it->position()) < pass2 ? before : after).push_back(trial);
        // An improvement line of the same trial (numbered from 0 there) comes after it.
        const bool in_pass1 = static_cast<size_t>(it->position()) < pass2;
        const size_t improvement = text.find("\n " + std::to_string(trial - 1) + "  ", in_pass1 ? 0 : pass2);
        if (improvement != std::string::npos && (!in_pass1 || improvement < pass2)) {
            EXPECT_GT(improvement, static_cast<size_t>(it->position())) << trial;
        }
    }
    EXPECT_EQ(before, (std::vector<long>{100, 200}));
    EXPECT_EQ(after, (std::vector<long>{50, 150, 250}));
}

static long count_of(const std::string& text, const std::string& what)
{
    long count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// The first trial of the run is accepted and reported as trial 0.
TEST(Trials, FirstTrialIsReportedAsTrialZero)
{
    RunState& s = search_state(1, 1);
    ConsoleCapture con;
    s.con = con.stream;
    s.pass = 0;
    run_trials(s);
    ASSERT_GT(s.err, 0.0);
    EXPECT_EQ(s.best_err, s.err);
    char line[64];
    std::snprintf(line, sizeof line, " 0  %8.4g dB \n", s.err);
    EXPECT_EQ(con.text(), line);
    for (long i = 0; i < s.n; ++i) ASSERT_EQ(s.best_curve[i], s.curve[i]) << i;
}

// A trial is accepted only when its error is strictly below best_err; the first-trial rule
// belongs to the first pass only.
TEST(Trials, AcceptanceIsStrict)
{
    RunState& s = search_state(10, 1);
    const uint32_t start = s.rand_state;
    s.pass = 0;
    s.trial = 3;
    s.best_err = 1e300;
    s.con = std::fopen("/dev/null", "w");
    run_one_trial(s);
    std::fclose(s.con);
    const double e = s.err;
    ASSERT_GT(e, 0.0);

    const struct {
        int pass, trial;
        double best_err;
        bool accepted;
    } cases[] = {
        {0, 3, e, false},
        {0, 3, std::nextafter(e, 1e300), true},
        {0, 3, std::nextafter(e, 0.0), false},
        {1, 0, e, false},  // trial 0 of a later pass
        {0, 0, e, true},   // trial 0 of the first pass: best_err starts at twice the error
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pass " << c.pass << " trial " << c.trial << " best_err " << c.best_err);
        s.rand_state = start;
        s.pass = c.pass;
        s.trial = c.trial;
        s.best_err = c.best_err;
        for (long i = 0; i < s.n; ++i) s.best_curve[i] = 7.0;
        ConsoleCapture con;
        s.con = con.stream;
        run_one_trial(s);
        EXPECT_EQ(s.err, e);
        if (c.accepted) {
            char line[64];
            std::snprintf(line, sizeof line, " %d  %8.4g dB \n", c.trial, e);
            EXPECT_EQ(con.text(), line);
            EXPECT_EQ(s.best_err, e);
            EXPECT_EQ(s.best_curve[150], s.curve[150]);
        } else {
            EXPECT_EQ(con.text(), "");
            EXPECT_EQ(s.best_err, c.best_err);
            EXPECT_EQ(s.best_curve[150], 7.0);
        }
    }
}

// Below 80 Hz sample rate no frequency is scored: every error is 0 and nothing is ever
// accepted, not even the first trial.
TEST(Trials, ErrorZeroIsNeverAccepted)
{
    RunState& s = fresh_state();
    make_record_decimal(s, -50, 50.0, 100, wobbly);  // 50 Hz from -1 s
    s.ntrials = 5;
    s.npasses = 2;
    s.max_pts = 22;
    s.f_ramp = 100;
    s.amp_ramp = 85;
    s.slope = 1;
    fill_filter_bank(s);
    run_reference_spectrum(s);
    ConsoleCapture con;
    s.con = con.stream;
    run_passes(s);
    EXPECT_EQ(count_of(con.text(), " dB \n"), 0);
    EXPECT_EQ(s.best_err, 0.0);
    EXPECT_EQ(count_of(con.text(), "\n ref 1 \n"), 2);
}

// The rms guard: a record of 1024 samples from -0.5 s at 1 kHz, zero but for the first
// sample. The first sample lies in no level window, so every level is 0, the curve is 0
// and the rms is |first sample| / 32 exactly.
static RunState& rms_state(double first)
{
    RunState& s = search_state(1, 1, nullptr);
    make_record_decimal(s, -500, 1000.0, 1024, nullptr);
    s.amp[0] = s.amp_base[0] = first;
    s.pass = 0;
    s.trial = 0;
    return s;
}

TEST(TrialGuards, RmsAtTheBoundsPasses)
{
    RunState& s = rms_state(32e-20);
    ConsoleCapture con;
    s.con = con.stream;
    run_one_trial(s);
    EXPECT_EQ(s.rms, 1e-20);
    EXPECT_EQ(con.text().find("rms"), std::string::npos);
    for (long i = 0; i < s.n; ++i) ASSERT_EQ(s.curve[i], 0.0) << i;

    // At 1e20 the guard passes and the spectrum run's overflow guard stops the run at
    // the first sample.
    RunState& big = rms_state(32e20);
    EXPECT_EXIT(
        {
            big.con = stderr;
            run_one_trial(big);
        },
        ::testing::ExitedWithCode(1), "^\n Error:  i=0 \n");
}

TEST(TrialGuards, RmsOutOfRangeStopsTheRunWithItsLines)
{
    const struct {
        double first;
        const char* rms;
    } cases[] = {
        {std::nextafter(32e-20, 0.0), "   1e-20"},
        {std::nextafter(32e20, 1e300), "   1e+20"},
    };
    for (const auto& c : cases) {
        RunState& s = rms_state(c.first);
        EXPECT_EXIT(
            {
                s.con = stderr;
                run_one_trial(s);
            },
            ::testing::ExitedWithCode(1),
            "^" + literal_regex(std::string("\n rms=") + c.rms + " \n\n\n rms error  ms="));
    }
}

// A signal equal to its curve (here all zero) leaves a residual of rms 0, which stops
// the run; the lines list every breakpoint with its level.
TEST(TrialGuards, ZeroResidualStopsTheRun)
{
    RunState& s = rms_state(0.0);
    const uint32_t start = s.rand_state;
    draw_breakpoints(s);
    s.rand_state = start;
    std::string expected = "\n rms=       0 \n\n\n rms error  ms=       0  n=1024  nn=" + std::to_string(s.nn) + "\n";
    for (int k = 0; k < s.nn; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, " %12.6g \t %12.6g \n", s.bp[k], 0.0);
        expected += line;
    }
    EXPECT_EQ(expected.substr(expected.find('\n', 40) + 1, 30), "         -0.5 \t            0 \n");
    EXPECT_EXIT(
        {
            s.con = stderr;
            run_one_trial(s);
        },
        ::testing::ExitedWithCode(1), "^" + literal_regex(expected) + "$");
}

// A record that ends before time zero leaves no room for the breakpoints after zero; a
// pass with trials refuses it, a run without pass or trial goes on.
TEST(Passes, RecordEndingBeforeTimeZero)
{
    const struct {
        int npasses, ntrials;
        bool refused;
    } cases[] = {{1, 1, true}, {3, 200, true}, {0, 5, false}, {-1, 5, false}, {1, 0, false}, {2, -3, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.npasses << " passes, " << c.ntrials << " trials");
        RunState& s = fresh_state();
        make_record_decimal(s, -100, 1000.0, 50, wobbly);  // ends at -0.051 s
        s.npasses = c.npasses;
        s.ntrials = c.ntrials;
        s.max_pts = 22;
        fill_filter_bank(s);
        if (c.refused) {
            EXPECT_EXIT(
                {
                    alarm(20);  // a breakpoint draw that never ends fails the test instead of hanging it
                    s.con = stderr;
                    check_search_span(s);
                    run_passes(s);
                },
                ::testing::ExitedWithCode(1), "^\n Error: the record ends at -0\\.051 s, before time zero");
        } else {
            ConsoleCapture con;
            s.con = con.stream;
            check_search_span(s);
            run_passes(s);
            EXPECT_EQ(count_of(con.text(), "pass ="), std::max(c.npasses, 0));
        }
    }
}

// ---------------------------------------------------------------------------------
// Pass finishing.
// ---------------------------------------------------------------------------------

static double line_2_100(double t)
{
    return 2 + 100 * t;
}

// A record from -0.1 s at 1 kHz whose amplitude is 2 + 100 t, with no curve: the 95
// samples before onset = -0.005 are fitted, the first 94 corrected.
TEST(PassFinishing, PreOnsetLineIsTakenOut)
{
    RunState& s = fresh_state();
    make_record_decimal(s, -100, 1000.0, 200, line_2_100);
    s.max_pts = 22;
    draw_breakpoints(s);  // sets onset
    ConsoleCapture con;
    s.con = con.stream;
    finish_pass(s);
    EXPECT_EQ(con.text(),
              "\n xa[0]=    -0.1   onset=  -0.005 \n"
              "\n  c1=95.000000 "
              "\n ref 1 \n"
              "\n  a0=       2  a1=     100 \n"
              "\n  number=94  onset=  -0.005 \n");
    for (long i = 0; i < 94; ++i) {
        EXPECT_NEAR(s.amp[i], 0.0, 1e-12) << i;
        EXPECT_NEAR(s.best_curve[i], line_2_100(s.xa[i]), 1e-12) << i;
    }
    for (long i = 94; i < s.n; ++i) {
        EXPECT_EQ(s.amp[i], line_2_100(s.xa[i])) << i;
        EXPECT_EQ(s.best_curve[i], 0.0) << i;
    }
    EXPECT_EQ(s.xa[94], -0.006);
    for (long i = 0; i < s.n; ++i) ASSERT_EQ(s.amp_base[i], line_2_100(s.xa[i])) << i;
}

// No sample before onset: the warning, no fit, nothing corrected.
TEST(PassFinishing, RecordStartingAtOrAfterTimeZero)
{
    const struct {
        long start_units;
        const char* head;
    } cases[] = {
        {0, "\n xa[0]=       0   onset=       0 \n"},
        {10, "\n xa[0]=    0.01   onset= -0.0005 \n"},
    };
    for (const auto& c : cases) {
        RunState& s = fresh_state();
        make_record_decimal(s, c.start_units, 1000.0, 100, line_2_100);
        s.max_pts = 22;
        draw_breakpoints(s);
        ConsoleCapture con;
        s.con = con.stream;
        finish_pass(s);
        const std::string onset = std::string(c.head).substr(std::string(c.head).find("onset=") + 6, 8);
        EXPECT_EQ(con.text(), std::string(c.head) +
                                  "\n  c1=0.000000 "
                                  "\n warning:  c1=0.000000 "
                                  "\n ref 1 \n"
                                  "\n  a0=       0  a1=       0 \n"
                                  "\n  number=-1  onset=" + onset + " \n");
        for (long i = 0; i < s.n; ++i) {
            ASSERT_EQ(s.amp[i], line_2_100(s.xa[i])) << i;
            ASSERT_EQ(s.best_curve[i], 0.0) << i;
        }
    }
}

// One sample before onset: no warning, number 0, nothing corrected.
TEST(PassFinishing, OneSampleBeforeOnset)
{
    RunState& s = fresh_state();
    make_record_decimal(s, -1, 10.0, 20, line_2_100);  // -0.1, 0, 0.1, ...
    s.onset = -0.005;
    ConsoleCapture con;
    s.con = con.stream;
    finish_pass(s);
    const std::string text = con.text();
    EXPECT_EQ(text.find("\n  c1=1.000000 \n ref 1 \n"), text.find("\n  c1="));
    EXPECT_NE(text.find("\n  number=0  onset=  -0.005 \n"), std::string::npos);
    for (long i = 0; i < s.n; ++i) {
        ASSERT_EQ(s.amp[i], line_2_100(s.xa[i])) << i;
        ASSERT_EQ(s.best_curve[i], 0.0) << i;
    }
}

// The best curve leaves the signal for good; a record entirely before onset is fitted
// over all its samples and corrected in all but the last.
TEST(PassFinishing, BestCurveIsRemovedAndEverySampleBeforeOnsetIsFitted)
{
    RunState& s = fresh_state();
    make_record_decimal(s, -100, 1000.0, 60, line_2_100);  // -0.1 .. -0.041
    s.onset = -0.005;
    for (long i = 0; i < s.n; ++i) s.best_curve[i] = 0.25 * i;
    ConsoleCapture con;
    s.con = con.stream;
    finish_pass(s);
    EXPECT_NE(con.text().find("\n  c1=60.000000 \n ref 1 \n"), std::string::npos);
    EXPECT_NE(con.text().find("\n  number=59  onset="), std::string::npos);
    for (long i = 0; i < s.n; ++i) EXPECT_EQ(s.amp_base[i], line_2_100(s.xa[i]) - 0.25 * i) << i;
    // amp_base is a line too (slope 100 - 250 per second): the fit takes it out exactly
    // up to rounding, except at the last sample.
    for (long i = 0; i < s.n - 1; ++i) EXPECT_NEAR(s.amp[i], 0.0, 1e-11) << i;
    EXPECT_EQ(s.amp[s.n - 1], s.amp_base[s.n - 1]);
    EXPECT_NEAR(s.best_curve[0], line_2_100(s.xa[0]), 1e-11);
    EXPECT_EQ(s.best_curve[s.n - 1], 0.25 * (s.n - 1));
}
