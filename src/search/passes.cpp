#include "search/passes.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "run/state.h"
#include "search/breakpoints.h"
#include "search/curve.h"
#include "spectrum/spectrum.h"

void print_elapsed(const RunState& s)
{
    const long now = static_cast<long>(std::time(nullptr));
    std::fprintf(s.con, " %ld sec\n", now - s.start_time);
}

void check_search_span(const RunState& s)
{
    // A record that ends before time zero leaves no room for the breakpoints after zero:
    // their draw would never end.
    if (s.npasses > 0 && s.ntrials > 0 && s.t_last < 0)
        stop_run(s, "the record ends at %g s, before time zero; the search needs samples after the shock at time 0. Check the times in the input file.",
                 s.t_last);
}

void run_passes(RunState& s)
{
    check_times_rise(s);
    for (s.pass = 0; s.pass < s.npasses; ++s.pass) {
        for (long i = 0; i < s.n; ++i) {
            s.best_curve[i] = 0;
            s.curve[i] = 0;
        }
        std::fprintf(s.con, "\n\n pass = %d \n\n", s.pass + 1);
        run_trials(s);
        finish_pass(s);
    }
}

void run_trials(RunState& s)
{
    for (s.trial = 0; s.trial < s.ntrials; ++s.trial) run_one_trial(s);
}

void run_one_trial(RunState& s)
{
    s.progress = s.progress + 1;
    if (s.progress == 100) {
        std::fprintf(s.con, " %ld ", static_cast<long>(s.trial) + 1);
        print_elapsed(s);
        s.progress = 0;
    }

    draw_breakpoints(s);
    compute_levels(s);
    if (s.nn <= 2) {
        std::fprintf(s.con, "\n nn error \n");
        std::exit(1);
    }
    evaluate_curve(s);

    s.rms = std::sqrt(s.ms / static_cast<double>(s.n));
    if (!(s.rms >= 1e-20 && s.rms <= 1e20)) {
        std::fprintf(s.con, "\n rms=%8.4g \n\n", s.rms);
        std::fprintf(s.con, "\n rms error  ms=%8.4g  n=%ld  nn=%ld\n", s.ms, s.n, static_cast<long>(s.nn));
        for (int k = 0; k < s.nn; ++k) std::fprintf(s.con, " %12.6g \t %12.6g \n", s.bp[k], s.level[k]);
        std::exit(1);
    }

    s.err = std::fabs(run_signal_spectrum(s));
    if (s.trial == 0 && s.pass == 0) s.best_err = 2 * s.err;
    if (s.err < s.best_err) {
        s.best_err = s.err;
        std::fprintf(s.con, " %ld  %8.4g dB \n", static_cast<long>(s.trial), s.best_err);
        for (long i = 0; i < s.n; ++i) s.best_curve[i] = s.curve[i];
    }
}

void finish_pass(RunState& s)
{
    for (long i = 0; i < s.n; ++i) {
        s.amp[i] = s.amp_base[i] - s.best_curve[i];
        s.amp_base[i] = s.amp[i];
    }
    std::fprintf(s.con, "\n xa[0]=%8.4g   onset=%8.4g \n", s.xa[0], s.onset);

    double st = 0, stt = 0, sa = 0, sta = 0;
    uint32_t m = 0;
    while (m < static_cast<uint64_t>(s.n) && s.xa[m] < s.onset) {
        st = st + s.xa[m];
        stt = stt + std::pow(s.xa[m], 2.0);
        sa = sa + s.amp[m];
        sta = sta + s.xa[m] * s.amp[m];
        m = m + 1;
    }
    const double c1 = m;
    const int32_t number = static_cast<int32_t>(m) - 1;
    std::fprintf(s.con, "\n  c1=%lf ", c1);

    double trend_intercept = 0, trend_slope = 0;
    if (c1 < 1) {
        std::fprintf(s.con, "\n warning:  c1=%lf ", c1);
    } else {
        const double mt = st / c1;
        const double ma = sa / c1;
        const double q = stt / st - mt;
        const double p = sta / st - ma;
        trend_slope = p / q;
        trend_intercept = ma - mt * trend_slope;
    }
    for (int32_t i = 0; i < number; ++i) {
        const double line = trend_slope * s.xa[i] + trend_intercept;
        s.amp[i] = s.amp[i] - line;
        s.best_curve[i] = line + s.best_curve[i];
    }
    std::fprintf(s.con, "\n ref 1 \n");
    std::fprintf(s.con, "\n  a0=%8.4g  a1=%8.4g \n", trend_intercept, trend_slope);
    std::fprintf(s.con, "\n  number=%ld  onset=%8.4g \n", static_cast<long>(number), s.onset);
}
