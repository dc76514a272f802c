#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "program_runner.h"
#include "run/state.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"
#include "state_helpers.h"

// ---------------------------------------------------------------------------------
// The spectrum against physics: a half-sine pulse and its exact shock response.
// ---------------------------------------------------------------------------------

namespace {

struct Peaks {
    double pos, neg;
};

// Exact positive and negative peaks of the absolute acceleration of a single-degree-of-
// freedom system (natural frequency fn, damping ratio zeta), at rest before a base
// acceleration pulse P sin(pi t / T) on 0 <= t <= T, over 0 <= t <= t_end (t_end >= T).
// With z the relative displacement: z'' + 2 zeta w z' + w^2 z = -a(t), and the
// absolute acceleration is A = -(2 zeta w z' + w^2 z). Peaks start at zero, as in the program.
Peaks half_sine_peaks(double fn, double zeta, double P, double T, double t_end)
{
    const double w = 2 * M_PI * fn;
    const double sig = zeta * w;
    const double wd = w * std::sqrt(1 - zeta * zeta);
    const double W = M_PI / T;

    // During the pulse: z = C sin Wt + D cos Wt + exp(-sig t) (E cos wd t + F sin wd t).
    const double k = w * w - W * W;
    const double c = 2 * zeta * w * W;
    const double delta = k * k + c * c;
    const double C = -P * k / delta;
    const double D = P * c / delta;
    const double E = -D;
    const double F = (sig * E - W * C) / wd;
    auto during = [&](double t, double& z, double& v) {
        const double e = std::exp(-sig * t), co = std::cos(wd * t), si = std::sin(wd * t);
        z = C * std::sin(W * t) + D * std::cos(W * t) + e * (E * co + F * si);
        v = C * W * std::cos(W * t) - D * W * std::sin(W * t) +
            e * ((-sig * E + wd * F) * co + (-sig * F - wd * E) * si);
    };
    auto accel = [&](double z, double v) { return -(2 * sig * v + w * w * z); };

    Peaks p{0, 0};
    auto take = [&](double a) {
        p.pos = std::max(p.pos, a);
        p.neg = std::min(p.neg, a);
    };
    const int steps = 4000;  // the forced part, sampled finely
    double z = 0, v = 0;
    for (int m = 0; m <= steps; ++m) {
        during(T * m / steps, z, v);
        take(accel(z, v));
    }

    // After the pulse, A is a damped sinusoid exp(-sig u)(al cos wd u + be sin wd u);
    // its extremes lie where (-sig al + wd be) cos + (-sig be - wd al) sin = 0, and
    // with the decay the first one of each sign is the largest.
    during(T, z, v);
    const double al = accel(z, v);
    const double acc_rel = -2 * sig * v - w * w * z;  // z'' with no input
    const double al_rate = -(2 * sig * acc_rel + w * w * v);
    const double be = (al_rate + sig * al) / wd;
    auto free_accel = [&](double u) {
        return std::exp(-sig * u) * (al * std::cos(wd * u) + be * std::sin(wd * u));
    };
    const double span = t_end - T;
    double phi = std::atan2(-(-sig * al + wd * be), -sig * be - wd * al);  // tan phi = -cc/ss
    while (phi < 0) phi += M_PI;
    for (int r = 0; r < 4; ++r) {
        const double u = (phi + r * M_PI) / wd;
        if (u <= span) take(free_accel(u));
    }
    take(free_accel(span));
    return p;
}

}  // namespace

// 100 units for 1 ms sampled at 100 kHz after 1 ms of zeros, against the exact response
// over the same span (the record and its ring-out tail). Two record lengths: 0.5 s, which
// holds the whole residual response, and one that ends 0.5 ms after the pulse, so that
// the residual peaks fall in the ring-out tail or at its end.
// Both peaks are compared. The residual (negative) peak of a half-sine becomes small
// above about 1.5 kHz, so its error is taken relative to the larger of its own size and
// a tenth of the positive peak: a plain relative error while the residual is a sizeable
// part of the response, an error in tenths of the response where it is not.
TEST(SpectrumPhysics, HalfSinePulseMatchesItsExactShockResponse)
{
    const double dt = 1e-5;
    const double nominal_sr = 100000;  // 1 / dt in double is a hair below it
    const long lead = 100, width = 100;
    for (long n : {50000L, lead + width + 50}) {
        SCOPED_TRACE(testing::Message() << "n=" << n);
        RunState& s = fresh_state();
        s.n = n;
        s.dt = dt;
        s.sr = 1 / dt;
        for (long i = 0; i < n; ++i) {
            s.xa[i] = i * dt;
            const long m = i - lead;
            s.amp[i] = (m > 0 && m < width) ? 100.0 * std::sin(M_PI * m / width) : 0.0;
        }
        fill_filter_bank(s);
        run_reference_spectrum(s);

        const double t_end = (n + tail_count(dt) - 1 - lead) * dt;  // last output, from the pulse start
        double worst_low = 0, worst_high = 0;
        for (int j = 1; j <= 78; ++j) {
            const double fj = s.f[j];
            if (fj > nominal_sr / 8) break;
            const Peaks exact = half_sine_peaks(fj, 0.05, 100.0, width * dt, t_end);
            const double tol = fj <= nominal_sr / 100 ? 0.005 : 0.06;
            const double e_pos = std::fabs(s.ref_pos[j] - exact.pos) / exact.pos;
            const double e_neg =
                std::fabs(s.ref_neg[j] - exact.neg) / std::max(std::fabs(exact.neg), 0.1 * exact.pos);
            EXPECT_LE(e_pos, tol) << "f=" << fj << " positive " << s.ref_pos[j] << " exact " << exact.pos;
            EXPECT_LE(e_neg, tol) << "f=" << fj << " negative " << s.ref_neg[j] << " exact " << exact.neg;
            double& worst = fj <= nominal_sr / 100 ? worst_low : worst_high;
            worst = std::max(worst, std::max(e_pos, e_neg));
        }
        RecordProperty("worst_error_to_sr_over_100_n" + std::to_string(n), std::to_string(worst_low));
        RecordProperty("worst_error_to_sr_over_8_n" + std::to_string(n), std::to_string(worst_high));
        if (std::getenv("DUNVALE_SHOW_ERRORS"))
            std::printf("n=%ld worst relative error %.5f up to sr/100, %.5f up to sr/8\n", n, worst_low, worst_high);
    }
}

// ---------------------------------------------------------------------------------
// The spectrum run.
// ---------------------------------------------------------------------------------

TEST(Spectrum, TailCount)
{
    const struct {
        double dt;
        long tail;
    } cases[] = {{0.001, 37},
                 {0.0001, 375},
                 {0.0002, 187},
                 {0.00004, 937},
                 {0.0, 0},
                 {std::numeric_limits<double>::quiet_NaN(), 0},
                 {std::numeric_limits<double>::infinity(), 0}};
    for (const auto& c : cases) EXPECT_EQ(tail_count(c.dt), c.tail) << "dt=" << c.dt;
}

static double ramp_of_time(double t)
{
    return t < 0 ? 0.0 : 3.0 + 40.0 * t * std::sin(300.0 * t);
}

// A record of 200 samples at 1 kHz from -0.05 s with a filter bank.
static RunState& small_record(double (*fn)(double))
{
    RunState& s = fresh_state();
    make_record_decimal(s, -50, 1000.0, 200, fn);
    fill_filter_bank(s);
    return s;
}

TEST(Spectrum, AllZeroSignalGivesZeroPeaks)
{
    RunState& s = small_record(nullptr);
    // Leftovers of an earlier run must not survive into the peaks.
    for (int j = 0; j < max_freqs; ++j) s.ref_pos[j] = s.ref_neg[j] = s.srs_pos[j] = s.srs_neg[j] = 5.0;
    run_reference_spectrum(s);
    run_signal_spectrum(s);
    for (int j = 1; j <= 78; ++j) {
        EXPECT_EQ(s.ref_pos[j], 0.0) << j;
        EXPECT_EQ(s.ref_neg[j], 0.0) << j;
        EXPECT_EQ(s.srs_pos[j], 0.0) << j;
        EXPECT_EQ(s.srs_neg[j], 0.0) << j;
    }
}

// Every run starts from rest: the same signal gives the same peaks, whatever ran before.
// Each run clears srs_pos/srs_neg; only the reference run clears and fills ref_pos/ref_neg.
TEST(Spectrum, EveryRunStartsFromRest)
{
    RunState& s = small_record(ramp_of_time);
    run_reference_spectrum(s);
    double pos[max_freqs], neg[max_freqs];
    std::copy(s.ref_pos, s.ref_pos + max_freqs, pos);
    std::copy(s.ref_neg, s.ref_neg + max_freqs, neg);
    for (int j = 1; j <= 78; ++j) {
        EXPECT_GE(pos[j], 0.0);
        EXPECT_LE(neg[j], 0.0);
    }
    run_signal_spectrum(s);  // leaves the filter state of its own run behind
    for (int j = 1; j <= 78; ++j) {
        EXPECT_EQ(s.srs_pos[j], pos[j]) << j;
        EXPECT_EQ(s.srs_neg[j], neg[j]) << j;
    }
    for (long i = 0; i < s.n; ++i) s.amp[i] = 0.5 * s.amp[i];
    run_signal_spectrum(s);
    EXPECT_EQ(s.ref_pos[33], pos[33]);  // the reference stays
    run_reference_spectrum(s);
    for (int j = 1; j <= 78; ++j) {
        EXPECT_EQ(s.ref_pos[j], 0.5 * pos[j]) << j;
        EXPECT_EQ(s.ref_neg[j], 0.5 * neg[j]) << j;
        EXPECT_EQ(s.srs_pos[j], 0.0) << j;
        EXPECT_EQ(s.srs_neg[j], 0.0) << j;
    }
}

// The peaks are those of the recursion x = a1 xb + a2 xbb + b1 y + b2 yb + b3 ybb, summed
// from left to right, over the signal and its ring-out tail, bit for bit. Here each
// frequency is run on its own over all samples, the other way round from the program.
TEST(Spectrum, PeaksFollowTheRecursionBitForBit)
{
    RunState& s = small_record(ramp_of_time);
    run_reference_spectrum(s);
    const long total = s.n + tail_count(s.dt);
    for (int j = 1; j <= 78; ++j) {
        double xb = 0, xbb = 0, yb = 0, ybb = 0, pos = 0, neg = 0;
        for (long i = 0; i < total; ++i) {
            const double y = i < s.n ? s.amp[i] : 0.0;
            double x = s.a1[j] * xb;
            x = x + s.a2[j] * xbb;
            x = x + s.b1[j] * y;
            x = x + s.b2[j] * yb;
            x = x + s.b3[j] * ybb;
            if (x > pos) pos = x;
            if (x < neg) neg = x;
            xbb = xb;
            xb = x;
            ybb = yb;
            yb = y;
        }
        EXPECT_EQ(s.ref_pos[j], pos) << j;
        EXPECT_EQ(s.ref_neg[j], neg) << j;
    }
}

// A response that is not a number does not stop the run.
TEST(Spectrum, NotANumberDoesNotTripTheGuard)
{
    RunState& s = small_record(ramp_of_time);
    s.amp[120] = std::numeric_limits<double>::quiet_NaN();
    run_reference_spectrum(s);
    EXPECT_GT(s.ref_pos[33], 0.0);  // the peaks before the bad sample stay
}

// ---------------------------------------------------------------------------------
// The overflow guard.
// ---------------------------------------------------------------------------------

// At 1 kHz a sample of 7.5e8 drives b1 * y over 1e8 first at f[40] = 223.6 Hz
// (b1 = 0.1405 there, 0.1257 at f[39]); the sample before it is 1, so the state
// printed is not all zero.
TEST(SpectrumGuard, OverflowPrintsItsFourLinesAndEndsWithStatus1)
{
    RunState& s = fresh_state();
    make_record_decimal(s, 0, 1000.0, 10, nullptr);
    s.amp[2] = 1.0;
    s.amp[3] = 7.5e8;
    s.amp[5] = 1e30;  // later samples never get their turn
    fill_filter_bank(s);
    const std::string expected =
        "\n Error:  i=3 \n"
        "\n f[40]=       223.607  x=   1.05372e+08  xb=      0.140496  xbb=             0\n"
        "\n y=       7.5e+08  yb=             1  ybb=             0 \n"
        "\n a1=   0.311 a2= -0.8689 b1=  0.1405 b2=   1.265 b3=       0 \n";
    EXPECT_EXIT(
        {
            s.con = stderr;
            run_reference_spectrum(s);
        },
        ::testing::ExitedWithCode(1), "^" + literal_regex(expected) + "$");
    EXPECT_EXIT(
        {
            s.con = stderr;
            run_signal_spectrum(s);
        },
        ::testing::ExitedWithCode(1), "^" + literal_regex(expected) + "$");
}

TEST(SpectrumGuard, InfinityTripsTheGuardAtTheLowestFrequency)
{
    RunState& s = fresh_state();
    make_record_decimal(s, 0, 1000.0, 10, nullptr);
    s.amp[4] = std::numeric_limits<double>::infinity();
    fill_filter_bank(s);
    EXPECT_EXIT(
        {
            s.con = stderr;
            run_reference_spectrum(s);
        },
        ::testing::ExitedWithCode(1), "^\n Error:  i=4 \n\n f\\[1\\]=           2\\.5  x=           inf ");
}

// End to end: an input whose reference spectrum overflows stops the run after the
// diagnostics, and the result files stay empty.
TEST(SpectrumGuard, OverflowInTheReferenceRunLeavesTheResultFilesEmpty)
{
    const TempFolder folder;
    const std::string& dir = folder.path;
    std::string input;
    char line[64];
    for (int i = 0; i <= 110; ++i) {
        std::snprintf(line, sizeof line, "%.3f  %g\n", (i - 10) / 1000.0, i == 15 ? 1e12 : 0.5);
        input += line;
    }
    write_file(dir + "/in.txt", input);
    const ProgramRun run = run_program_in(dir, "in.txt sat.txt sig.txt srs.txt\n10\n1\n7\n22\n6\n100\n85\n");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("\n Error:  i=15 \n\n f[1]="), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("pass ="), std::string::npos);
    for (const char* name : {"/sat.txt", "/sig.txt", "/srs.txt"}) {
        EXPECT_TRUE(file_exists(dir + name)) << name;
        EXPECT_EQ(read_file(dir + name), "") << name;
    }
}

// ---------------------------------------------------------------------------------
// The fit error.
// ---------------------------------------------------------------------------------

// A state with a filter bank, sample rate sr and every peak at zero.
static RunState& scoring_state(double sr, double f_ramp, double slope = 0.9966, double amp_ramp = 85)
{
    RunState& s = fresh_state();
    s.dt = 1 / sr;
    s.sr = sr;
    fill_filter_bank(s);
    s.f_ramp = f_ramp;
    s.slope = slope;
    s.amp_ramp = amp_ramp;
    return s;
}

// Frequencies j whose peaks count in the fit error.
static std::vector<int> scored(RunState& s)
{
    std::vector<int> js;
    for (int j = 1; j <= 78; ++j) {
        s.srs_pos[j] = 1.0;  // held to a zero reference (f_ramp below 10 Hz)
        if (spectrum_error(s) != 0.0) js.push_back(j);
        s.srs_pos[j] = 0.0;
    }
    return js;
}

static std::vector<int> range(int from, int to)
{
    std::vector<int> js;
    for (int j = from; j <= to; ++j) js.push_back(j);
    return js;
}

TEST(FitError, ScoresFrom10HzUpToAnEighthOfTheSampleRate)
{
    const struct {
        double sr;
        std::vector<int> js;
    } cases[] = {
        {2000, range(13, 41)},     // 10 Hz to 250 Hz = sr/8, both included
        {79.99, {}},               // sr/8 below 10 Hz: nothing is scored
        {80, {13}},                // 10 Hz = sr/8
        {25000, range(13, 62)},    // up to 2806 Hz; 3150 Hz is above 3125
        {1000000, range(13, 78)},  // everything from 10 Hz
    };
    for (const auto& c : cases) {
        RunState& s = scoring_state(c.sr, 5.0);
        EXPECT_EQ(scored(s), c.js) << "sr=" << c.sr;
    }
    RunState& s = scoring_state(50, 100);
    for (int j = 1; j <= 78; ++j) s.srs_pos[j] = 1e6;
    EXPECT_EQ(spectrum_error(s), 0.0);
}

// Which scored frequencies are held to the ramp and which to the reference.
TEST(FitError, RampUpToItsEndFrequencyReferenceAbove)
{
    const struct {
        double f_ramp;
        int last_ramp;  // the highest j held to the ramp; 12 when none is
    } cases[] = {
        {5, 12}, {9.99, 12}, {10, 13}, {100, 33}, {105, 33}, {250, 41}, {1000, 41},
    };
    for (const auto& c : cases) {
        RunState& s = scoring_state(2000, c.f_ramp);  // scores j = 13..41
        std::vector<int> reference_held;
        for (int j = 13; j <= 41; ++j) {
            s.ref_pos[j] = 7;
            s.ref_neg[j] = -7;
            const double e7 = spectrum_error(s);
            s.ref_pos[j] = 9;
            s.ref_neg[j] = -9;
            const double e9 = spectrum_error(s);
            s.ref_pos[j] = s.ref_neg[j] = 0;
            if (e7 != e9) reference_held.push_back(j);
        }
        EXPECT_EQ(reference_held, range(c.last_ramp + 1, 41)) << "f_ramp=" << c.f_ramp;
    }
}

// Above the ramp each peak is compared in absolute value with the reference's.
TEST(FitError, ReferenceErrorIsTheDifferenceOfAbsolutePeaks)
{
    RunState& s = scoring_state(80, 5);  // only 10 Hz is scored
    s.ref_pos[13] = 5;
    s.srs_pos[13] = 3;
    s.ref_neg[13] = -5;
    s.srs_neg[13] = -8;
    EXPECT_EQ(spectrum_error(s), 5.0);
}

// The ramp's target, held by both peaks in absolute value: the contribution of a
// frequency is the change of the fit error when its peaks go from 0 to the target.
TEST(FitError, RampTarget)
{
    const struct {
        double f_ramp, slope;
        int j;
        double target;
    } cases[] = {
        {100, 1, 19, 17},                    // 20 Hz: 85 / 5
        {100, 2, 19, 3.4},                   // 85 / 25
        {100, 1, 13, 8.5},                   // 10 Hz
        {100, 0.5, 27, 85 / std::sqrt(2.0)}, // 50 Hz
        {100, 0.9966, 33, 85},               // at f_ramp itself
        {200, 3, 39, 85},
    };
    for (const auto& c : cases) {
        RunState& s = scoring_state(2000, c.f_ramp, c.slope);
        const double none = spectrum_error(s);
        s.srs_pos[c.j] = c.target;
        s.srs_neg[c.j] = -c.target;
        EXPECT_NEAR(spectrum_error(s) - none, -2 * c.target, 1e-9 * none)
            << "f_ramp=" << c.f_ramp << " slope=" << c.slope << " j=" << c.j;
    }
}

// At the ramp's end frequency the target is amp_ramp exactly, whatever the slope.
TEST(FitError, TargetAtTheRampEndIsExactlyTheRampAmplitude)
{
    for (double slope : {0.9966, 0.5, 2.0, -1.0, 7.3}) {
        RunState& s = scoring_state(80, 10, slope, 85.25);  // only 10 Hz is scored
        s.srs_pos[13] = 85.25;
        s.srs_neg[13] = -85.25;
        EXPECT_EQ(spectrum_error(s), 0.0) << slope;
        s.srs_pos[13] = 86.25;
        EXPECT_EQ(spectrum_error(s), 1.0) << slope;
    }
}

// The reference run and a signal run of the same signal agree, so with no ramp among
// the scored frequencies the fit error is 0; with the ramp it is not.
TEST(FitError, SignalEqualToTheReferenceScoresZeroAboveTheRamp)
{
    RunState& s = small_record(ramp_of_time);
    s.f_ramp = 8;
    s.slope = 0.9966;
    s.amp_ramp = 85;
    run_reference_spectrum(s);
    EXPECT_EQ(run_signal_spectrum(s), 0.0);
    s.f_ramp = 40;
    EXPECT_GT(run_signal_spectrum(s), 0.0);
}
