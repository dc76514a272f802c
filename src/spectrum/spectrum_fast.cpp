// The fast spectrum run. The straightforward run updates all frequencies at every sample;
// here each block of frequencies runs through all samples on its own, its state kept in
// vector registers. Every response is formed exactly as in the straightforward run: five
// products added from left to right, separate multiplies and adds (no fused multiply-add,
// the build forbids contraction), and the peaks updated with strict comparisons.
#include <cstring>

#include "run/state.h"
#include "spectrum/spectrum.h"

typedef double v8d __attribute__((vector_size(64)));
typedef double v4d __attribute__((vector_size(32)));
typedef double v2d __attribute__((vector_size(16)));

// The frequency tables copied into lanes (lane l is frequency l + 1), padded with zero
// coefficients up to a whole number of blocks on every path (blocks of 40, 16 and 8).
// The padding lanes respond 0 (or NaN) and are never read.
constexpr int lane_step = 80;
constexpr int max_lanes = 160;

struct FilterLanes {
    alignas(64) double a1[max_lanes];
    alignas(64) double a2[max_lanes];
    alignas(64) double b1[max_lanes];
    alignas(64) double b2[max_lanes];
    alignas(64) double b3[max_lanes];
    alignas(64) double pos[max_lanes];     // positive peak
    alignas(64) double neg[max_lanes];     // negative peak
    alignas(64) double last[max_lanes];    // last response
    alignas(64) double before[max_lanes];  // the response before it
    int lanes;
};

// Runs K vectors of frequencies through `count` samples (the first n_in from amp, then
// zeros). Written for any vector width; compiled inside each target's function.
template <typename V, int K>
static inline __attribute__((always_inline)) void run_block(FilterLanes& fl, int first, const double* amp,
                                                            long n_in, long count)
{
    constexpr int W = sizeof(V) / sizeof(double);
    V c1[K], c2[K], c3[K], c4[K], c5[K], xb[K], xbb[K], p[K], q[K];
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
        const int l = first + k * W;
        std::memcpy(&c1[k], fl.a1 + l, sizeof(V));
        std::memcpy(&c2[k], fl.a2 + l, sizeof(V));
        std::memcpy(&c3[k], fl.b1 + l, sizeof(V));
        std::memcpy(&c4[k], fl.b2 + l, sizeof(V));
        std::memcpy(&c5[k], fl.b3 + l, sizeof(V));
        xb[k] = V{};
        xbb[k] = V{};
        p[k] = V{};
        q[k] = V{};
    }
    double yb = 0, ybb = 0;
    for (long i = 0; i < count; ++i) {
        const double y = i < n_in ? amp[i] : 0;
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            const V x = c1[k] * xb[k] + c2[k] * xbb[k] + c3[k] * y + c4[k] * yb + c5[k] * ybb;
            // Strict tests with the new response first: a NaN never replaces a peak, and
            // -0 never replaces +0 (a max with the operands the other way round would).
            p[k] = x > p[k] ? x : p[k];
            q[k] = x < q[k] ? x : q[k];
            xbb[k] = xb[k];
            xb[k] = x;
        }
        ybb = yb;
        yb = y;
    }
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) {
        const int l = first + k * W;
        std::memcpy(fl.pos + l, &p[k], sizeof(V));
        std::memcpy(fl.neg + l, &q[k], sizeof(V));
        std::memcpy(fl.last + l, &xb[k], sizeof(V));
        std::memcpy(fl.before + l, &xbb[k], sizeof(V));
    }
}

__attribute__((target("avx512f"))) static void run_lanes_avx512(FilterLanes& fl, const double* amp, long n_in,
                                                                 long count)
{
    for (int first = 0; first < fl.lanes; first += 40) run_block<v8d, 5>(fl, first, amp, n_in, count);
}

__attribute__((target("avx2"))) static void run_lanes_avx2(FilterLanes& fl, const double* amp, long n_in,
                                                           long count)
{
    for (int first = 0; first < fl.lanes; first += 16) run_block<v4d, 4>(fl, first, amp, n_in, count);
}

static void run_lanes_default(FilterLanes& fl, const double* amp, long n_in, long count)
{
    for (int first = 0; first < fl.lanes; first += 8) run_block<v2d, 4>(fl, first, amp, n_in, count);
}

bool vector_path_supported(int path)
{
    switch (path) {
    case path_default: return true;
    case path_avx2: return __builtin_cpu_supports("avx2");
    case path_avx512: return __builtin_cpu_supports("avx512f");
    default: return false;
    }
}

int best_vector_path()
{
    static const int best = vector_path_supported(path_avx512) ? path_avx512
                            : vector_path_supported(path_avx2) ? path_avx2
                                                               : path_default;
    return best;
}

void run_spectrum_fast_on(RunState& s, double* P, double* N, int path)
{
    const long total = s.n + tail_count(s.dt);
    const long count = total > 1 ? total : 1;  // the straightforward loop runs at least once
    clear_spectrum_run(s, P, N);

    FilterLanes fl;
    const int nf = s.nf < 0 ? 0 : s.nf < max_freqs ? s.nf : max_freqs - 1;
    fl.lanes = (nf + lane_step - 1) / lane_step * lane_step;
    for (int l = 0; l < fl.lanes; ++l) {
        const bool used = l < nf;
        fl.a1[l] = used ? s.a1[l + 1] : 0;
        fl.a2[l] = used ? s.a2[l + 1] : 0;
        fl.b1[l] = used ? s.b1[l + 1] : 0;
        fl.b2[l] = used ? s.b2[l + 1] : 0;
        fl.b3[l] = used ? s.b3[l + 1] : 0;
    }

    if (path == path_avx512)
        run_lanes_avx512(fl, s.amp, s.n, count);
    else if (path == path_avx2)
        run_lanes_avx2(fl, s.amp, s.n, count);
    else
        run_lanes_default(fl, s.amp, s.n, count);

    // |x| >= 1e8 happened at some sample if and only if a final peak reached it: a peak
    // only ever takes a response above (below) the one it holds, and a response that is
    // not a number never replaces it nor trips the guard. The straightforward run then
    // finds the first failing sample and frequency, prints the diagnostics and stops.
    for (int l = 0; l < nf; ++l) {
        if (fl.pos[l] >= 1e8 || fl.neg[l] <= -1e8) {
            run_spectrum_plain(s, P, N);
            return;
        }
    }

    const double y_last = count - 1 < s.n ? s.amp[count - 1] : 0;
    const double y_before = count >= 2 && count - 2 < s.n ? s.amp[count - 2] : 0;
    for (int l = 0; l < nf; ++l) {
        const int j = l + 1;
        P[j] = fl.pos[l];
        N[j] = fl.neg[l];
        s.x[j] = fl.last[l];
        s.xb[j] = fl.last[l];
        s.xbb[j] = fl.before[l];
        s.yb[j] = y_last;
        s.ybb[j] = y_before;
    }
    s.y = y_last;
}

void run_spectrum_fast(RunState& s, double* P, double* N)
{
    run_spectrum_fast_on(s, P, N, best_vector_path());
}

void run_spectrum(RunState& s, double* P, double* N)
{
#ifdef DUNVALE_PLAIN
    run_spectrum_plain(s, P, N);
#else
    run_spectrum_fast(s, P, N);
#endif
}
