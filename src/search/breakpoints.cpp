#include "search/breakpoints.h"

#include <cmath>
#include <cstdio>

#include "run/random.h"
#include "run/state.h"

// Fixed breakpoints before time zero, as fractions of the span from the first sample to 0.
static const double fixed_fraction[13] = {0, 0.9, 0.8, 0.7, 0.6, 0.5, 0.4, 0.3, 0.2, 0.15, 0.1, 0.05, 0.01};

// One attempt; returns false when the sorted table is out of order.
static bool draw_attempt(RunState& s)
{
    int r = next_random(s);
    s.nn = static_cast<int32_t>(static_cast<double>((s.max_pts - 20) * r) / 32767.0) + 20;
    r = next_random(s);
    const double expo = ((r * 0.5) / 32767.0) + 1.0;

    s.bp[0] = s.xone;
    for (int k = 1; k <= 12; ++k) s.bp[k] = 0.0 - std::fabs(0.0 - s.xone) * fixed_fraction[k];
    s.bp[13] = 0.0;
    s.onset = s.bp[11];
    s.bp[s.nn - 1] = s.t_last;

    for (int k = 14; k <= s.nn - 2; ++k) {
        do {
            const double u = next_random(s) / 32767.0;
            double rr = std::pow(u, expo);
            if (rr >= 1.0) rr = next_random(s) / 32767.0;
            s.bp[k] = (s.t_last - 0.0) * rr + 0.0;
        } while (s.bp[k] > s.t_last);
    }

    for (int i = 0; i <= s.nn - 2; ++i) {
        for (int j = i + 1; j <= s.nn - 1; ++j) {
            if (s.bp[j] < s.bp[i]) {
                const double t = s.bp[i];
                s.bp[i] = s.bp[j];
                s.bp[j] = t;
            }
        }
    }

    for (int i = 0; i <= s.nn - 2; ++i) {
        if (s.bp[i + 1] < s.bp[i]) {
            std::fprintf(s.con, "\n warning 2 \n");
            return false;
        }
    }
    return true;
}

void draw_breakpoints(RunState& s)
{
    while (!draw_attempt(s)) {
    }
}
