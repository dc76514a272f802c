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

void compute_levels(RunState& s)
{
    compute_levels_plain(s);
}

void evaluate_curve(RunState& s)
{
    evaluate_curve_plain(s);
}
