// The fast spectrum run, level windows and curve evaluation against the straightforward
// code, bit for bit, on randomised records, and on every vector path this processor has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "program_runner.h"
#include "run/state.h"
#include "search/breakpoints.h"
#include "search/curve.h"
#include "search/passes.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double inf_value = std::numeric_limits<double>::infinity();

std::vector<int> supported_paths()
{
    std::vector<int> paths;
    for (int p = path_default; p <= path_avx512; ++p)
        if (vector_path_supported(p)) paths.push_back(p);
    return paths;
}

bool same_bits(const double* a, const double* b, long count)
{
    return std::memcmp(a, b, sizeof(double) * static_cast<std::size_t>(count)) == 0;
}

// Index of the first entry whose bits differ, for the failure message.
long first_difference(const double* a, const double* b, long count)
{
    for (long i = 0; i < count; ++i)
        if (std::memcmp(a + i, b + i, sizeof(double)) != 0) return i;
    return -1;
}

// Everything a spectrum run writes.
struct SpectrumTables {
    double ref_pos[max_freqs], ref_neg[max_freqs], srs_pos[max_freqs], srs_neg[max_freqs];
    double x[max_freqs], xb[max_freqs], xbb[max_freqs], yb[max_freqs], ybb[max_freqs];
    double y;
};

void keep_tables(const RunState& s, SpectrumTables& t)
{
    std::memcpy(t.ref_pos, s.ref_pos, sizeof t.ref_pos);
    std::memcpy(t.ref_neg, s.ref_neg, sizeof t.ref_neg);
    std::memcpy(t.srs_pos, s.srs_pos, sizeof t.srs_pos);
    std::memcpy(t.srs_neg, s.srs_neg, sizeof t.srs_neg);
    std::memcpy(t.x, s.x, sizeof t.x);
    std::memcpy(t.xb, s.xb, sizeof t.xb);
    std::memcpy(t.xbb, s.xbb, sizeof t.xbb);
    std::memcpy(t.yb, s.yb, sizeof t.yb);
    std::memcpy(t.ybb, s.ybb, sizeof t.ybb);
    t.y = s.y;
}

// Leftovers of an earlier run, which every run must clear the same way.
void dirty_tables(RunState& s)
{
    for (int j = 0; j < max_freqs; ++j) {
        s.ref_pos[j] = 7.5;
        s.ref_neg[j] = -7.5;
        s.srs_pos[j] = 3.25;
        s.srs_neg[j] = -3.25;
        s.x[j] = s.xb[j] = s.xbb[j] = s.yb[j] = s.ybb[j] = 1.5;
    }
    s.y = 2.5;
}

// Same bits, except that any two NaNs count as the same: the sign and payload of a NaN
// depend on the order in which the compiler places the operands of a sum.
bool same_values(const double* a, const double* b, long count)
{
    for (long i = 0; i < count; ++i)
        if (!(std::isnan(a[i]) && std::isnan(b[i])) && std::memcmp(a + i, b + i, sizeof(double)) != 0) return false;
    return true;
}

// The peak tables the same bit for bit (they never hold a NaN); the filter state the
// same value for value.
void expect_same_tables(const SpectrumTables& a, const SpectrumTables& b, const std::string& what)
{
    const struct {
        const char* name;
        const double *p, *q;
        bool peaks;
    } tables[] = {{"ref_pos", a.ref_pos, b.ref_pos, true}, {"ref_neg", a.ref_neg, b.ref_neg, true},
                  {"srs_pos", a.srs_pos, b.srs_pos, true}, {"srs_neg", a.srs_neg, b.srs_neg, true},
                  {"x", a.x, b.x, false},                  {"xb", a.xb, b.xb, false},
                  {"xbb", a.xbb, b.xbb, false},            {"yb", a.yb, b.yb, false},
                  {"ybb", a.ybb, b.ybb, false}};
    for (const auto& t : tables) {
        const bool same = t.peaks ? same_bits(t.p, t.q, max_freqs) : same_values(t.p, t.q, max_freqs);
        const long d = first_difference(t.p, t.q, max_freqs);
        EXPECT_TRUE(same) << what << ": " << t.name << " differs first at " << d << " (" << t.p[d < 0 ? 0 : d]
                          << " against " << t.q[d < 0 ? 0 : d] << ")";
    }
    EXPECT_TRUE(same_values(&a.y, &b.y, 1)) << what << ": y";
}

class FastPaths : public ::testing::Test {
protected:
    std::unique_ptr<RunState> state = make_run_state();
    RunState& s = *state;
    std::mt19937_64 rng{20261211};

    void SetUp() override { s.con = std::fopen("/dev/null", "w"); }
    void TearDown() override { std::fclose(s.con); }

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    long pick(long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng); }

    // A shock-like record: noise, decaying tones after time zero and a drift.
    void make_signal(long n, double dt, double t0)
    {
        s.n = n;
        for (long i = 0; i < n; ++i) {
            const double t = t0 + static_cast<double>(i) * dt;
            double v = uniform(-0.1, 0.1) + 0.3 * t;
            if (t >= 0) v += 30 * std::exp(-t * 40) * std::sin(2 * M_PI * 600 * t) + 5 * std::sin(2 * M_PI * 40 * t);
            s.xa[i] = t;
            s.amp[i] = v;
            s.amp_base[i] = v;
        }
        s.dt = dt;
        s.xone = s.xa[0];
        s.t_last = s.xa[n - 1];
        s.sr = 1 / dt;
    }

    // Random coefficients for nf frequencies, small enough that no response grows without
    // bound, with zeros of both signs among them.
    void random_coefficients(int nf)
    {
        s.nf = nf;
        double* tables[] = {s.a1, s.a2, s.b1, s.b2, s.b3};
        for (double* t : tables) {
            for (int j = 1; j <= nf; ++j) {
                const long k = pick(0, 9);
                t[j] = k == 0 ? 0.0 : k == 1 ? -0.0 : uniform(-0.45, 0.45);
            }
        }
    }

    // Runs the straightforward and the fast spectrum on every path from the same
    // leftovers and checks every table they write.
    void expect_fast_spectrum_same(const std::string& what)
    {
        SpectrumTables plain, fast;
        dirty_tables(s);
        run_spectrum_plain(s, s.ref_pos, s.ref_neg);
        keep_tables(s, plain);
        for (int path : supported_paths()) {
            dirty_tables(s);
            run_spectrum_fast_on(s, s.ref_pos, s.ref_neg, path);
            keep_tables(s, fast);
            expect_same_tables(plain, fast, what + ", path " + std::to_string(path));
        }
        // The program's own signal run.
        dirty_tables(s);
        run_spectrum_plain(s, s.srs_pos, s.srs_neg);
        keep_tables(s, plain);
        dirty_tables(s);
        run_spectrum(s, s.srs_pos, s.srs_neg);
        keep_tables(s, fast);
        expect_same_tables(plain, fast, what + ", run_spectrum");
    }
};

// ---------------------------------------------------------------------------------------
// Spectrum run

TEST_F(FastPaths, SpectrumOfShockRecordsIsTheSameOnEveryPath)
{
    const struct {
        long n;
        double dt;
    } cases[] = {{7, 1e-4}, {8, 1e-3}, {100, 2e-4}, {1001, 4e-5}, {20000, 1e-4}, {100000, 4e-5}};
    for (const auto& c : cases) {
        make_signal(c.n, c.dt, -0.2 * static_cast<double>(c.n) * c.dt);
        fill_filter_bank(s);
        expect_fast_spectrum_same("n=" + std::to_string(c.n));
    }
}

TEST_F(FastPaths, SpectrumOfAMillionSamplesIsTheSame)
{
    make_signal(1000000, 4e-5, -4.0);
    fill_filter_bank(s);
    SpectrumTables plain, fast;
    run_spectrum_plain(s, s.srs_pos, s.srs_neg);
    keep_tables(s, plain);
    run_spectrum_fast(s, s.srs_pos, s.srs_neg);
    keep_tables(s, fast);
    expect_same_tables(plain, fast, "n=1000000");
}

// Inputs whose responses are zeros of either sign, not a number, or subnormal, on
// coefficient sets of any size: the strict peak tests keep +0 against -0 and never take
// a NaN, and blocks of frequencies that the vectors do not fill must not matter.
TEST_F(FastPaths, SpectrumKeepsSignedZerosNaNAndOddFrequencyCounts)
{
    const double values[] = {0.0, -0.0, 1.0, -1.0, 0.5, 4.9e-324, -4.9e-324, 2.2e-308, nan_value};
    const int nfs[] = {1, 2, 7, 8, 15, 39, 40, 41, 78, 80, 81, 124};
    for (int nf : nfs) {
        for (int kind = 0; kind < 3; ++kind) {
            random_coefficients(nf);
            const long n = pick(7, 300);
            for (long i = 0; i < n; ++i) {
                if (kind == 0) s.amp[i] = values[pick(0, 6)];  // zeros and subnormals only
                if (kind == 1) s.amp[i] = values[pick(0, 7)];
                if (kind == 2) s.amp[i] = pick(0, 40) == 0 ? nan_value : uniform(-2, 2);
            }
            s.n = n;
            s.dt = 1e-3;
            expect_fast_spectrum_same("nf=" + std::to_string(nf) + " kind=" + std::to_string(kind));
        }
    }
}

// The loop runs n + tail_count samples, and at least one, whatever the sample interval.
TEST_F(FastPaths, SpectrumRunsTheSameNumberOfSamples)
{
    const double dts[] = {1e-3, 0.0, -1e-3, -0.01, -1.0, nan_value, 0.25};
    for (double dt : dts) {
        random_coefficients(78);
        s.n = 7;
        for (long i = 0; i < s.n; ++i) s.amp[i] = uniform(-1, 1);
        s.dt = dt;
        expect_fast_spectrum_same("dt=" + std::to_string(dt));
    }
}

// A NaN response never trips the guard, so an infinite input that only meets filters
// that are already NaN runs to the end.
TEST_F(FastPaths, NaNBeforeInfinityDoesNotTripTheGuard)
{
    make_signal(2000, 1e-4, -0.05);
    fill_filter_bank(s);
    s.amp[100] = nan_value;
    s.amp[500] = inf_value;
    s.amp[501] = -inf_value;
    expect_fast_spectrum_same("NaN then inf");
    for (int j = 1; j <= s.nf; ++j) EXPECT_LT(s.srs_pos[j], 1e8);
}

// ---------------------------------------------------------------------------------------
// Overflow guard: the fast run must report exactly what the straightforward run reports.

class FastGuard : public FastPaths {
protected:
    TempFolder folder;
    std::string dir = folder.path;

    // Console text of a spectrum run that must stop with status 1 (path -1: straightforward).
    std::string guard_report(int path)
    {
        const std::string file = dir + "/report" + std::to_string(path + 1) + ".txt";
        EXPECT_EXIT(
            {
                s.con = std::fopen(file.c_str(), "w");
                if (path < 0)
                    run_spectrum_plain(s, s.srs_pos, s.srs_neg);
                else
                    run_spectrum_fast_on(s, s.srs_pos, s.srs_neg, path);
                std::fclose(s.con);
                std::exit(0);
            },
            ::testing::ExitedWithCode(1), "");
        return read_file(file);
    }

    void expect_same_report(const std::string& what)
    {
        const std::string plain = guard_report(-1);
        EXPECT_EQ(plain.rfind("\n Error:  i=", 0), 0u) << what << ": " << plain;
        for (int path : supported_paths()) EXPECT_EQ(guard_report(path), plain) << what << ", path " << path;
    }
};

TEST_F(FastGuard, ReportsTheFirstSampleAndLowestFrequency)
{
    const struct {
        const char* what;
        long at;
        double value;
    } cases[] = {
        {"1e9 at sample 5", 5, 1e9},  {"-3e10 at sample 0", 0, -3e10}, {"inf at the last sample", 199, inf_value},
        {"-inf at sample 17", 17, -inf_value}, {"1e300 at sample 60", 60, 1e300},
    };
    for (const auto& c : cases) {
        make_signal(200, 1e-4, -0.01);
        fill_filter_bank(s);
        s.amp[c.at] = c.value;
        expect_same_report(c.what);
    }
}

// A response of exactly 1e8 in either direction trips the guard; one just below does not.
TEST_F(FastGuard, TripsAtExactly1e8)
{
    const double values[] = {1e8, -1e8, std::nextafter(1e8, 0.0), std::nextafter(-1e8, 0.0)};
    for (double v : values) {
        random_coefficients(5);
        s.a1[3] = s.a2[3] = s.b2[3] = s.b3[3] = 0.0;
        s.b1[3] = 1.0;  // the response of frequency 3 is the input itself
        s.n = 30;
        s.dt = 1e-3;
        for (long i = 0; i < s.n; ++i) s.amp[i] = uniform(-1, 1);
        s.amp[20] = v;
        if (std::fabs(v) >= 1e8)
            expect_same_report("input " + std::to_string(v));
        else
            expect_fast_spectrum_same("input " + std::to_string(v));
    }
}

// Unstable filters that grow until they trip, in the signal or in the ring-out tail, one
// or several at once (the lowest frequency among those failing at the same sample).
TEST_F(FastGuard, ReportsGrowingResponsesInSignalAndTail)
{
    const struct {
        const char* what;
        long n;
        int j1, j2;
        double g1, g2;
    } cases[] = {
        {"one filter grows in the signal", 400, 37, 0, 1.2, 0},
        {"one filter grows in the tail", 7, 61, 0, 1.1, 0},
        {"two filters grow alike", 300, 70, 30, 1.1, 1.1},
        {"the later frequency fails first", 300, 12, 75, 1.05, 1.3},
        {"first and last frequency", 150, 1, 78, 1.2, 1.2},
    };
    for (const auto& c : cases) {
        make_signal(c.n, 1e-4, -0.01);
        fill_filter_bank(s);
        s.a1[c.j1] = c.g1;
        s.a2[c.j1] = 0;
        if (c.j2 > 0) {
            s.a1[c.j2] = c.g2;
            s.a2[c.j2] = 0;
        }
        expect_same_report(c.what);
    }
}

// ---------------------------------------------------------------------------------------
// Level windows and curve

// Sample times of a record.
enum TimeKind { times_rising, times_repeated, times_last_falls, times_jittered, times_with_nan, times_all_equal };

class FastSearch : public FastPaths {
protected:
    void make_times(long n, TimeKind kind, double dt) { make_times_from(-0.25 * static_cast<double>(n) * dt, n, kind, dt); }

    void make_times_from(double t0, long n, TimeKind kind, double dt)
    {
        s.n = n;
        for (long i = 0; i < n; ++i) {
            double t = t0 + static_cast<double>(i) * dt;
            if (kind == times_repeated) t = t0 + static_cast<double>(i / 3) * dt;
            if (kind == times_jittered) t += uniform(-1.5, 1.5) * dt;
            if (kind == times_all_equal) t = 0.0;
            s.xa[i] = t;
            s.amp_base[i] = pick(0, 200) == 0 ? -0.0 : uniform(-3, 3);
            s.amp[i] = uniform(-1, 1);  // what a sample held by no segment keeps
        }
        if (kind == times_last_falls) s.xa[n - 1] = s.xa[n / 2];
        if (kind == times_with_nan) s.xa[pick(0, n - 1)] = nan_value;
        s.dt = dt;
        s.xone = s.xa[0];
        s.t_last = s.xa[n - 1];
        check_times_rise(s);
    }

    // Breakpoints: drawn as the program draws them, or tables with repeats, narrow gaps,
    // breakpoints on sample times, or out of order.
    void make_breakpoints(int kind)
    {
        if (kind == 0) {
            s.max_pts = static_cast<int32_t>(pick(22, 1000));
            if (std::isnan(s.t_last) || s.t_last < 0) s.t_last = 1.0;
            draw_breakpoints(s);
            return;
        }
        s.nn = static_cast<int32_t>(pick(20, 200));
        const double span = static_cast<double>(s.n) * s.dt;
        for (int k = 0; k < s.nn; ++k) {
            if (kind == 1) s.bp[k] = s.xa[pick(0, s.n - 1)];                           // on samples
            if (kind == 2) s.bp[k] = s.xone + span * uniform(0, 1.1);                 // reaching past
            if (kind == 3) s.bp[k] = k > 0 && pick(0, 2) == 0 ? s.bp[k - 1] : s.xone + span * uniform(0, 1);
            if (kind == 4) s.bp[k] = k > 0 && pick(0, 1) == 0 ? s.bp[k - 1] + s.dt * pick(0, 4) * 0.5
                                                              : s.xone + span * uniform(0, 1);
        }
        if (kind != 5) {
            for (int k = 1; k < s.nn; ++k)  // insertion sort, NaN left where it falls
                for (int i = k; i > 0 && s.bp[i] < s.bp[i - 1]; --i) std::swap(s.bp[i], s.bp[i - 1]);
        } else {
            for (int k = 0; k < s.nn; ++k) s.bp[k] = s.xone + span * uniform(-0.1, 1.1);  // unsorted
            s.bp[pick(0, s.nn - 1)] = nan_value;
        }
    }

    void expect_same_levels(const std::string& what)
    {
        const uint32_t draw = s.rand_state;
        for (int k = 0; k < max_bps; ++k) s.level[k] = -9.0;
        compute_levels_plain(s);
        std::vector<double> plain(s.level, s.level + max_bps);
        const uint32_t after = s.rand_state;
        for (int k = 0; k < max_bps; ++k) s.level[k] = -9.0;
        s.rand_state = draw;
        compute_levels(s);
        EXPECT_TRUE(same_bits(plain.data(), s.level, max_bps))
            << what << ": level differs first at " << first_difference(plain.data(), s.level, max_bps);
        EXPECT_EQ(s.rand_state, after) << what;
    }

    void expect_same_curve(const std::string& what)
    {
        const std::vector<double> amp_before(s.amp, s.amp + s.n);
        for (long i = 0; i < s.n; ++i) s.curve[i] = 5.0;
        evaluate_curve_plain(s);
        const std::vector<double> curve(s.curve, s.curve + s.n), amp(s.amp, s.amp + s.n);
        const double ms = s.ms;
        std::copy(amp_before.begin(), amp_before.end(), s.amp);
        for (long i = 0; i < s.n; ++i) s.curve[i] = 5.0;
        s.ms = -1;
        evaluate_curve(s);
        EXPECT_TRUE(same_bits(curve.data(), s.curve, s.n))
            << what << ": curve differs first at " << first_difference(curve.data(), s.curve, s.n);
        EXPECT_TRUE(same_bits(amp.data(), s.amp, s.n))
            << what << ": amp differs first at " << first_difference(amp.data(), s.amp, s.n);
        EXPECT_TRUE(same_bits(&ms, &s.ms, 1)) << what << ": ms " << ms << " against " << s.ms;
    }
};

TEST_F(FastSearch, TimesRiseOnlyWithoutFallsAndNaN)
{
    const struct {
        TimeKind kind;
        int rise;
    } cases[] = {{times_rising, 1},     {times_repeated, 1}, {times_all_equal, 1},
                 {times_last_falls, 0}, {times_with_nan, 0}, {times_jittered, 0}};
    for (const auto& c : cases) {
        make_times(1000, c.kind, 1e-3);
        EXPECT_EQ(s.times_rise, c.rise) << "kind " << c.kind;
    }
    s.xa[0] = 0.0;  // -0 after +0 does not fall
    s.xa[1] = -0.0;
    s.n = 2;
    check_times_rise(s);
    EXPECT_EQ(s.times_rise, 1);
}

TEST_F(FastSearch, LevelsAndCurveAreTheSameOnRandomRecords)
{
    const TimeKind kinds[] = {times_rising,   times_repeated, times_last_falls,
                              times_jittered, times_with_nan, times_all_equal};
    const long sizes[] = {7, 8, 50, 1000, 20000};
    const double dts[] = {1e-3, 0.125, 4e-5};
    int cases = 0;
    for (TimeKind kind : kinds) {
        for (long n : sizes) {
            for (int bp_kind = 0; bp_kind <= 5; ++bp_kind) {
                make_times(n, kind, dts[cases % 3]);
                if (n < 100 && pick(0, 1) == 0) s.amp_base[pick(0, n - 1)] = pick(0, 1) ? nan_value : inf_value;
                make_breakpoints(bp_kind);
                const std::string what = "times " + std::to_string(kind) + " n=" + std::to_string(n) + " bp " +
                                         std::to_string(bp_kind);
                expect_same_levels(what);
                for (int k = 0; k < s.nn; ++k) s.level[k] = uniform(-2, 2);
                expect_same_curve(what);
                ++cases;
            }
        }
    }
}

// Segments narrower than 2 dt reach past both their breakpoints; a sample in that reach
// stays with the earlier widened segment, a sample on a breakpoint with the earlier
// segment, and a sample that no segment holds keeps its amp and adds nothing.
TEST_F(FastSearch, CurveKeepsTheRulesOfWidenedSegments)
{
    const struct {
        const char* what;
        std::vector<double> bp;
        double dt;
    } cases[] = {
        {"zero-width segment", {0.0, 0.25, 0.5, 0.5, 1.0}, 0.0625},
        {"three equal breakpoints", {0.0, 0.5, 0.5, 0.5, 0.5, 1.0}, 0.0625},
        {"narrow segments in a row", {0.0, 0.4, 0.45, 0.5, 0.55, 1.0}, 0.0625},
        {"table ends before the record", {0.0, 0.2, 0.3, 0.3, 0.5}, 0.0625},
        {"table starts after the record", {0.3, 0.5, 0.5, 0.9, 1.0}, 0.0625},
        {"two breakpoints", {0.0, 1.0}, 0.0625},
        {"one breakpoint", {0.5}, 0.0625},
        {"no breakpoint", {}, 0.0625},
        {"no widening with dt 0", {0.0, 0.5, 0.5, 1.0}, 0.0},
        {"no widening with negative dt", {0.0, 0.5, 0.5, 1.0}, -0.0625},
        {"NaN dt", {0.0, 0.5, 0.5, 1.0}, nan_value},
        {"infinite breakpoints", {-inf_value, 0.0, 0.5, inf_value}, 0.0625},
        {"unsorted", {0.0, 0.8, 0.2, 0.6, 0.4, 1.0}, 0.0625},
    };
    for (const auto& c : cases) {
        for (TimeKind kind : {times_rising, times_jittered, times_last_falls, times_with_nan}) {
            make_times_from(0.0, 97, kind, 1.0 / 96);  // from 0 to 1
            s.xa[40] = 0.5;  // on a breakpoint
            s.dt = c.dt;
            s.nn = static_cast<int32_t>(c.bp.size());
            std::copy(c.bp.begin(), c.bp.end(), s.bp);
            for (int k = 0; k < s.nn; ++k) s.level[k] = uniform(-2, 2);
            expect_same_curve(std::string(c.what) + ", times " + std::to_string(kind));
        }
    }
}

TEST_F(FastSearch, LevelsAndCurveOfAMillionSamples)
{
    make_times(1000000, times_rising, 4e-5);
    for (int trial = 0; trial < 2; ++trial) {
        s.max_pts = trial == 0 ? 40 : 1000;
        draw_breakpoints(s);
        expect_same_levels("n=1000000");
        expect_same_curve("n=1000000");
    }
}

// The program's trial (fast forms) against the same trial done with the straightforward
// forms, over a run of trials that each start where the previous one left the stream.
TEST_F(FastPaths, ProgramTrialsGiveTheStraightforwardResults)
{
    make_signal(20000, 4e-5, -0.2);
    fill_filter_bank(s);
    s.max_pts = 40;
    s.slope = 1.0;
    s.f_ramp = 100;
    s.amp_ramp = 85;
    run_spectrum_plain(s, s.ref_pos, s.ref_neg);
    check_times_rise(s);
    ASSERT_EQ(s.times_rise, 1);
    s.pass = 0;
    for (s.trial = 0; s.trial < 12; ++s.trial) {
        const uint32_t draw = s.rand_state;
        draw_breakpoints(s);
        compute_levels_plain(s);
        evaluate_curve_plain(s);
        run_spectrum_plain(s, s.srs_pos, s.srs_neg);
        const double err = std::fabs(spectrum_error(s));
        const std::vector<double> curve(s.curve, s.curve + s.n), amp(s.amp, s.amp + s.n);
        const std::vector<double> pos(s.srs_pos, s.srs_pos + max_freqs), neg(s.srs_neg, s.srs_neg + max_freqs);
        const double ms = s.ms;
        const uint32_t after = s.rand_state;

        s.rand_state = draw;
        run_one_trial(s);
        EXPECT_TRUE(same_bits(&err, &s.err, 1)) << "trial " << s.trial;
        EXPECT_TRUE(same_bits(&ms, &s.ms, 1)) << "trial " << s.trial;
        EXPECT_TRUE(same_bits(curve.data(), s.curve, s.n)) << "trial " << s.trial;
        EXPECT_TRUE(same_bits(amp.data(), s.amp, s.n)) << "trial " << s.trial;
        EXPECT_TRUE(same_bits(pos.data(), s.srs_pos, max_freqs)) << "trial " << s.trial;
        EXPECT_TRUE(same_bits(neg.data(), s.srs_neg, max_freqs)) << "trial " << s.trial;
        EXPECT_EQ(s.rand_state, after) << "trial " << s.trial;
    }
}

}  // namespace
