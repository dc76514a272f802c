// Times one trial and its parts (filter bank, level windows, curve evaluation, whole
// trial) at 10^4, 10^5 and 10^6 samples, the straightforward code against the fast code,
// and checks that both give the same bits. Exits with status 1 when any result differs.
//
//   ./build/bench/dunvale_bench [max_pts]      (default 40, as in the example answers)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "run/state.h"
#include "search/breakpoints.h"
#include "search/curve.h"
#include "spectrum/filter_bank.h"
#include "spectrum/spectrum.h"

static bool all_same = true;

static double now_ms()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

static void check_same(const char* what, long n, const void* a, const void* b, std::size_t bytes)
{
    if (std::memcmp(a, b, bytes) != 0) {
        std::printf("  DIFFERENT: %s at n = %ld\n", what, n);
        all_same = false;
    }
}

// A shock record of n samples at 25 kHz from -0.1 of its span: noise, decaying tones
// from time zero and a slow drift. Deterministic.
static void make_record(RunState& s, long n)
{
    s.n = n;
    s.dt = 1.0 / 25000.0;
    const double t0 = -0.1 * static_cast<double>(n) * s.dt;
    uint32_t r = 12345;
    for (long i = 0; i < n; ++i) {
        r = r * 1103515245u + 12345u;
        const double noise = (static_cast<double>((r >> 8) & 0xffff) / 65536.0 - 0.5) * 0.2;
        const double t = t0 + static_cast<double>(i) * s.dt;
        double v = noise + 0.5 * t;
        if (t >= 0) v += 40.0 * std::exp(-t * 30.0) * std::sin(6.283185307179586 * 700.0 * t) +
                         15.0 * std::exp(-t * 8.0) * std::sin(6.283185307179586 * 90.0 * t) + 2.0 * (1 - std::exp(-t * 5));
        s.xa[i] = t;
        s.amp[i] = v;
        s.amp_base[i] = v;
    }
    s.xone = s.xa[0];
    s.t_last = s.xa[n - 1];
    s.dt = (s.t_last - s.xa[0]) / static_cast<double>(n - 1);
    s.sr = 1 / s.dt;
    s.slope = std::log10(std::pow(10.0, 6 / 20.0)) / std::log10(2.0);
    s.f_ramp = 100;
    s.amp_ramp = 85;
    s.rand_state = 7;
    fill_filter_bank(s);
    check_times_rise(s);
}

struct Outcome {
    double pos[max_freqs], neg[max_freqs], level[max_bps], ms, err;
};

// One trial's work as the program does it (breakpoints, levels, curve, rms, spectrum and
// score), in the straightforward or the fast form; the acceptance is left out.
static double trial(RunState& s, bool fast)
{
    draw_breakpoints(s);
    if (fast) compute_levels_fast(s); else compute_levels_plain(s);
    if (fast) evaluate_curve_fast(s); else evaluate_curve_plain(s);
    s.rms = std::sqrt(s.ms / static_cast<double>(s.n));
    if (fast) run_spectrum_fast(s, s.srs_pos, s.srs_neg); else run_spectrum_plain(s, s.srs_pos, s.srs_neg);
    return std::fabs(spectrum_error(s));
}

struct Times {
    double plain, fast;
};

static void row(const char* part, long n, Times t)
{
    std::printf("  %-16s %9ld %12.3f %12.3f %9.1f\n", part, n, t.plain, t.fast, t.plain / t.fast);
}

static void bench_size(RunState& s, long n, int reps, std::unique_ptr<double[]>& keep)
{
    make_record(s, n);
    run_spectrum_fast(s, s.ref_pos, s.ref_neg);
    draw_breakpoints(s);
    const uint32_t draw = s.rand_state;
    Times t;
    Outcome plain, fast;

    // filter bank
    t = {1e300, 1e300};
    for (int r = 0; r < reps; ++r) {
        double a = now_ms();
        run_spectrum_plain(s, plain.pos, plain.neg);
        double b = now_ms();
        run_spectrum_fast(s, fast.pos, fast.neg);
        double c = now_ms();
        t.plain = std::fmin(t.plain, b - a);
        t.fast = std::fmin(t.fast, c - b);
    }
    check_same("filter bank peaks", n, plain.pos, fast.pos, sizeof plain.pos);
    check_same("filter bank peaks", n, plain.neg, fast.neg, sizeof plain.neg);
    row("filter bank", n, t);

    // level windows
    t = {1e300, 1e300};
    for (int r = 0; r < reps; ++r) {
        s.rand_state = draw;
        double a = now_ms();
        compute_levels_plain(s);
        double b = now_ms();
        std::memcpy(plain.level, s.level, sizeof plain.level);
        s.rand_state = draw;
        double c = now_ms();
        compute_levels_fast(s);
        double d = now_ms();
        std::memcpy(fast.level, s.level, sizeof fast.level);
        t.plain = std::fmin(t.plain, b - a);
        t.fast = std::fmin(t.fast, d - c);
    }
    check_same("levels", n, plain.level, fast.level, sizeof plain.level);
    row("level windows", n, t);

    // curve evaluation
    t = {1e300, 1e300};
    double* curve_plain = keep.get();
    double* amp_plain = keep.get() + max_samples;
    for (int r = 0; r < reps; ++r) {
        double a = now_ms();
        evaluate_curve_plain(s);
        double b = now_ms();
        plain.ms = s.ms;
        std::memcpy(curve_plain, s.curve, sizeof(double) * n);
        std::memcpy(amp_plain, s.amp, sizeof(double) * n);
        double c = now_ms();
        evaluate_curve_fast(s);
        double d = now_ms();
        fast.ms = s.ms;
        t.plain = std::fmin(t.plain, b - a);
        t.fast = std::fmin(t.fast, d - c);
    }
    check_same("curve", n, curve_plain, s.curve, sizeof(double) * n);
    check_same("residual", n, amp_plain, s.amp, sizeof(double) * n);
    check_same("sum of squares", n, &plain.ms, &fast.ms, sizeof plain.ms);
    row("curve evaluation", n, t);

    // whole trial, from the same point of the random stream
    t = {1e300, 1e300};
    for (int r = 0; r < reps; ++r) {
        s.rand_state = draw;
        double a = now_ms();
        plain.err = trial(s, false);
        double b = now_ms();
        plain.ms = s.ms;
        std::memcpy(plain.pos, s.srs_pos, sizeof plain.pos);
        std::memcpy(plain.neg, s.srs_neg, sizeof plain.neg);
        std::memcpy(curve_plain, s.curve, sizeof(double) * n);
        std::memcpy(amp_plain, s.amp, sizeof(double) * n);
        s.rand_state = draw;
        double c = now_ms();
        fast.err = trial(s, true);
        double d = now_ms();
        fast.ms = s.ms;
        t.plain = std::fmin(t.plain, b - a);
        t.fast = std::fmin(t.fast, d - c);
    }
    check_same("trial error", n, &plain.err, &fast.err, sizeof plain.err);
    check_same("trial sum of squares", n, &plain.ms, &fast.ms, sizeof plain.ms);
    check_same("trial peaks", n, plain.pos, s.srs_pos, sizeof plain.pos);
    check_same("trial peaks", n, plain.neg, s.srs_neg, sizeof plain.neg);
    check_same("trial curve", n, curve_plain, s.curve, sizeof(double) * n);
    check_same("trial residual", n, amp_plain, s.amp, sizeof(double) * n);
    row("whole trial", n, t);
}

int main(int argc, char** argv)
{
    std::unique_ptr<RunState> s = make_run_state();
    s->con = std::fopen("/dev/null", "w");
    s->max_pts = argc > 1 ? std::atoi(argv[1]) : 40;
    if (s->max_pts < 22) s->max_pts = 22;
    if (s->max_pts > max_bps) s->max_pts = max_bps;
    std::unique_ptr<double[]> keep(new double[2 * max_samples]);

    static const char* path_name[] = {"default (SSE2)", "AVX2", "AVX-512"};
    std::printf("dunvale_bench: one trial, straightforward against fast; max_pts = %d; vector path %s\n",
                s->max_pts, path_name[best_vector_path()]);
    std::printf("  times in ms per call, the best of several runs\n\n");
    std::printf("  %-16s %9s %12s %12s %9s\n", "part", "samples", "plain", "fast", "ratio");
    const long sizes[] = {10000, 100000, 1000000};
    const int reps[] = {30, 10, 3};
    for (int k = 0; k < 3; ++k) {
        bench_size(*s, sizes[k], reps[k], keep);
        std::printf("\n");
    }

    // The filter bank on every vector path this processor has, at 10^5 samples.
    std::printf("  filter bank per vector path, 100000 samples\n");
    make_record(*s, 100000);
    Outcome plain, fast;
    double best = 1e300;
    for (int r = 0; r < 3; ++r) {
        const double a = now_ms();
        run_spectrum_plain(*s, plain.pos, plain.neg);
        best = std::fmin(best, now_ms() - a);
    }
    std::printf("  %-16s %12.3f\n", "plain", best);
    for (int path = path_default; path <= path_avx512; ++path) {
        if (!vector_path_supported(path)) {
            std::printf("  %-16s %12s\n", path_name[path], "not on this processor");
            continue;
        }
        double b = 1e300;
        for (int r = 0; r < 3; ++r) {
            const double a = now_ms();
            run_spectrum_fast_on(*s, fast.pos, fast.neg, path);
            b = std::fmin(b, now_ms() - a);
        }
        check_same(path_name[path], 100000, plain.pos, fast.pos, sizeof plain.pos);
        check_same(path_name[path], 100000, plain.neg, fast.neg, sizeof plain.neg);
        std::printf("  %-16s %12.3f %9.1f\n", path_name[path], b, best / b);
    }

    std::printf("\n%s\n", all_same ? "all results identical" : "RESULTS DIFFER");
    return all_same ? 0 : 1;
}
