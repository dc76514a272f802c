#include "search/curve.h"

#include <cmath>

#include "run/random.h"
#include "run/state.h"

// Window [lo, hi] of inner breakpoint k: centred on bp[k], half-width the larger of
// the two half-gaps, widened by 2 dt on each side when narrower than 2 dt.
static void level_window(const RunState& s, int k, double& lo, double& hi)
{
    lo = (s.bp[k] + s.bp[k - 1]) * 0.5;
    hi = (s.bp[k] + s.bp[k + 1]) * 0.5;
    const double dl = s.bp[k] - lo;
    const double dr = hi - s.bp[k];
    if (dl > dr) {
        lo = s.bp[k] - dl;
        hi = dl + s.bp[k];
    }
    if (dl < dr) {
        lo = s.bp[k] - dr;
        hi = dr + s.bp[k];
    }
    if (std::fabs(hi - lo) < 2 * s.dt) {
        hi = hi + 2 * s.dt;
        lo = lo - 2 * s.dt;
    }
}

void draw_last_level(RunState& s)
{
    const double u = next_random(s) / 32767.0;
    const long n = s.n;
    const double sum = s.amp_base[n - 1] + s.amp_base[n - 2] + s.amp_base[n - 3] + s.amp_base[n - 4] +
                       s.amp_base[n - 5] + s.amp_base[n - 6] + s.amp_base[n - 7];
    s.level[s.nn - 1] = (u * sum) / 7.0;
}

void compute_levels_plain(RunState& s)
{
    for (int k = 2; k <= s.nn - 2; ++k) {
        double lo, hi;
        level_window(s, k, lo, hi);
        double sum = 0.0;
        uint32_t count = 0;
        for (long i = 0; i < s.n; ++i) {
            if (lo <= s.xa[i] && s.xa[i] <= hi) {
                sum = sum + s.amp_base[i];
                count = count + 1;
            }
        }
        s.level[k] = count >= 3 ? sum / count : 0.0;
    }
    s.level[0] = 0.0;
    s.level[1] = 0.0;
    draw_last_level(s);
}

void evaluate_curve_plain(RunState& s)
{
    s.ms = 0.0;
    const double two_dt = 2 * s.dt;
    for (long i = 0; i < s.n; ++i) {
        s.curve[i] = 0.0;
        for (int j = 0; j <= s.nn - 2; ++j) {
            double L = s.bp[j], R = s.bp[j + 1];
            if (std::fabs(R - L) < two_dt) {
                R = R + two_dt;
                L = L - two_dt;
            }
            if (L <= s.xa[i] && s.xa[i] <= R) {
                const double w = (s.xa[i] - L) / (R - L);
                s.curve[i] = (1.0 - w) * s.level[j] + w * s.level[j + 1];
                s.amp[i] = s.amp_base[i] - s.curve[i];
                s.ms = s.ms + std::pow(s.amp[i], 2.0);
                break;
            }
        }
    }
}

void check_times_rise(RunState& s)
{
    s.times_rise = 1;
    for (long i = 0; i < s.n; ++i) {
        if (std::isnan(s.xa[i]) || (i > 0 && s.xa[i] < s.xa[i - 1])) {
            s.times_rise = 0;
            return;
        }
    }
}

// Among rising times: the first sample with xa[i] >= lo, or n when there is none.
static long first_sample_from(const RunState& s, double lo)
{
    long a = 0, b = s.n;
    while (a < b) {
        const long m = a + (b - a) / 2;
        if (s.xa[m] >= lo)
            b = m;
        else
            a = m + 1;
    }
    return a;
}

// Among rising times: the first sample with xa[i] > hi, or n when there is none (0 when
// hi is not a number, so that the window is empty).
static long first_sample_after(const RunState& s, double hi)
{
    long a = 0, b = s.n;
    while (a < b) {
        const long m = a + (b - a) / 2;
        if (!(s.xa[m] <= hi))
            b = m;
        else
            a = m + 1;
    }
    return a;
}

// Window sums run in four lanes side by side, so that the additions of different windows
// overlap; each lane takes its windows one after another.
constexpr int sum_lanes = 4;

struct SumLane {
    int next;   // position in the lane's queue of windows
    int k;      // the window being summed, -1 when the lane is done
    long i;     // next sample
    long end;   // one past the window's last sample
    double sum;
};

static void open_next_window(SumLane& lane, const int* queue, int queued, const long* first, const long* count)
{
    if (lane.next == queued) {
        lane.k = -1;
        return;
    }
    lane.k = queue[lane.next++];
    lane.i = first[lane.k];
    lane.end = first[lane.k] + count[lane.k];
    lane.sum = 0.0;
}

static void close_window(RunState& s, const SumLane& lane, const long* count)
{
    const uint32_t c = static_cast<uint32_t>(count[lane.k]);
    s.level[lane.k] = c >= 3 ? lane.sum / c : 0.0;
}

void compute_levels_fast(RunState& s)
{
    if (s.times_rise != 1) {
        compute_levels_plain(s);
        return;
    }
    // Rising times put each window's samples side by side: from the first sample at or
    // after lo to the last one at or before hi. Its sum adds them one after another from
    // 0.0, as the full scan does.
    long first[max_bps], count[max_bps];
    int order[max_bps];  // windows, longest first
    int m = 0;
    for (int k = 2; k <= s.nn - 2 && k < max_bps; ++k) {
        double lo, hi;
        level_window(s, k, lo, hi);
        first[k] = first_sample_from(s, lo);
        const long end = first_sample_after(s, hi);
        count[k] = end > first[k] ? end - first[k] : 0;
        int p = m++;
        while (p > 0 && count[order[p - 1]] < count[k]) {
            order[p] = order[p - 1];
            --p;
        }
        order[p] = k;
    }

    // Deal the windows to the lanes, longest first, each to the lane with the least work.
    int queue[sum_lanes][max_bps];
    int queued[sum_lanes] = {};
    long work[sum_lanes] = {};
    for (int q = 0; q < m; ++q) {
        int g = 0;
        for (int h = 1; h < sum_lanes; ++h)
            if (work[h] < work[g]) g = h;
        queue[g][queued[g]++] = order[q];
        work[g] += count[order[q]];
    }
    SumLane lane[sum_lanes];
    for (int g = 0; g < sum_lanes; ++g) {
        lane[g].next = 0;
        open_next_window(lane[g], queue[g], queued[g], first, count);
    }

    const double* a = s.amp_base;
    for (;;) {
        // Close the windows that are complete and open the next ones.
        int open = 0;
        for (int g = 0; g < sum_lanes; ++g) {
            while (lane[g].k >= 0 && lane[g].i == lane[g].end) {
                close_window(s, lane[g], count);
                open_next_window(lane[g], queue[g], queued[g], first, count);
            }
            if (lane[g].k >= 0) ++open;
        }
        if (open < sum_lanes) break;
        // All four lanes advance until the first of their windows is complete.
        long step = lane[0].end - lane[0].i;
        for (int g = 1; g < sum_lanes; ++g)
            if (lane[g].end - lane[g].i < step) step = lane[g].end - lane[g].i;
        const double *p0 = a + lane[0].i, *p1 = a + lane[1].i, *p2 = a + lane[2].i, *p3 = a + lane[3].i;
        double s0 = lane[0].sum, s1 = lane[1].sum, s2 = lane[2].sum, s3 = lane[3].sum;
        for (long i = 0; i < step; ++i) {
            s0 = s0 + p0[i];
            s1 = s1 + p1[i];
            s2 = s2 + p2[i];
            s3 = s3 + p3[i];
        }
        lane[0].sum = s0;
        lane[1].sum = s1;
        lane[2].sum = s2;
        lane[3].sum = s3;
        for (int g = 0; g < sum_lanes; ++g) lane[g].i += step;
    }
    // What the lanes still hold, one window after another.
    for (int g = 0; g < sum_lanes; ++g) {
        while (lane[g].k >= 0) {
            double sum = lane[g].sum;
            for (long i = lane[g].i; i < lane[g].end; ++i) sum = sum + a[i];
            lane[g].sum = sum;
            close_window(s, lane[g], count);
            open_next_window(lane[g], queue[g], queued[g], first, count);
        }
    }
    s.level[0] = 0.0;
    s.level[1] = 0.0;
    draw_last_level(s);
}

// The first segment j < m with reach[j] >= t, or m when there is none.
static int first_reaching(const double* reach, int m, double t)
{
    int a = 0, b = m;
    while (a < b) {
        const int c = a + (b - a) / 2;
        if (reach[c] >= t)
            b = c;
        else
            a = c + 1;
    }
    return a;
}

void evaluate_curve_fast(RunState& s)
{
    int m = s.nn - 1;  // number of segments
    if (m < 0) m = 0;
    if (m > max_bps - 1) m = max_bps - 1;

    // The segments with their widened bounds, as the full search forms them.
    double seg_lo[max_bps], seg_hi[max_bps];
    const double two_dt = 2 * s.dt;
    for (int j = 0; j < m; ++j) {
        double L = s.bp[j], R = s.bp[j + 1];
        if (std::fabs(R - L) < two_dt) {
            R = R + two_dt;
            L = L - two_dt;
        }
        seg_lo[j] = L;
        seg_hi[j] = R;
    }
    // reach[j]: the latest time that any of segments 0..j holds; low[j]: the earliest
    // time that any of segments j..m-1 holds. A segment with L > R (or a bound that is
    // not a number) holds nothing and counts in neither.
    double reach[max_bps], low[max_bps];
    double r = -INFINITY;
    for (int j = 0; j < m; ++j) {
        if (seg_lo[j] <= seg_hi[j] && seg_hi[j] > r) r = seg_hi[j];
        reach[j] = r;
    }
    double e = INFINITY;
    for (int j = m - 1; j >= 0; --j) {
        if (seg_lo[j] <= seg_hi[j] && seg_lo[j] < e) e = seg_lo[j];
        low[j] = e;
    }

    double ms = 0.0;
    int j0 = 0;  // no segment before j0 holds the current sample
    for (long i = 0; i < s.n; ++i) {
        const double t = s.xa[i];
        s.curve[i] = 0.0;
        // Rising times only move j0 forward; a time that falls (or is not a number)
        // searches again from the first segment.
        if (j0 > 0 && !(reach[j0 - 1] < t)) j0 = first_reaching(reach, m, t);
        while (j0 < m && reach[j0] < t) ++j0;
        // The first segment that holds the sample, as in the full search; none from j
        // on can once they all begin after t.
        for (int j = j0; j < m && !(low[j] > t); ++j) {
            const double L = seg_lo[j], R = seg_hi[j];
            if (L <= t && t <= R) {
                const double w = (t - L) / (R - L);
                s.curve[i] = (1.0 - w) * s.level[j] + w * s.level[j + 1];
                s.amp[i] = s.amp_base[i] - s.curve[i];
                ms = ms + std::pow(s.amp[i], 2.0);
                break;
            }
        }
    }
    s.ms = ms;
}

void compute_levels(RunState& s)
{
#ifdef DUNVALE_PLAIN
    compute_levels_plain(s);
#else
    compute_levels_fast(s);
#endif
}

void evaluate_curve(RunState& s)
{
#ifdef DUNVALE_PLAIN
    evaluate_curve_plain(s);
#else
    evaluate_curve_fast(s);
#endif
}
