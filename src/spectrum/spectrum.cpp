#include "spectrum/spectrum.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "run/state.h"

long tail_count(double dt)
{
    const double q = (0.05 / dt) * 0.75;
    if (!std::isfinite(q)) return 0;
    return static_cast<long>(q);  // the record check keeps this within 32 bits
}

void clear_spectrum_run(RunState& s, double* P, double* N)
{
    for (int j = 0; j < max_freqs; ++j) {
        s.srs_pos[j] = 0;
        s.srs_neg[j] = 0;
        s.x[j] = 0;
        s.xb[j] = 0;
        s.xbb[j] = 0;
        s.yb[j] = 0;
        s.ybb[j] = 0;
        P[j] = 0;
        N[j] = 0;
    }
}

[[noreturn]] static void overflow_stop(const RunState& s, long i, int j)
{
    std::fprintf(s.con, "\n Error:  i=%ld \n", i);
    std::fprintf(s.con, "\n f[%ld]=%14.6g  x=%14.6g  xb=%14.6g  xbb=%14.6g\n", static_cast<long>(j), s.f[j], s.x[j],
                s.xb[j], s.xbb[j]);
    std::fprintf(s.con, "\n y=%14.6g  yb=%14.6g  ybb=%14.6g \n", s.y, s.yb[j], s.ybb[j]);
    std::fprintf(s.con, "\n a1=%8.4g a2=%8.4g b1=%8.4g b2=%8.4g b3=%8.4g \n", s.a1[j], s.a2[j], s.b1[j], s.b2[j],
                s.b3[j]);
    std::exit(1);
}

void run_spectrum_plain(RunState& s, double* P, double* N)
{
    const long total = s.n + tail_count(s.dt);
    clear_spectrum_run(s, P, N);
    long i = 0;
    do {
        s.y = i < s.n ? s.amp[i] : 0;
        for (int j = 1; j <= s.nf; ++j) {
            s.x[j] = s.a1[j] * s.xb[j] + s.a2[j] * s.xbb[j] + s.b1[j] * s.y + s.b2[j] * s.yb[j] +
                     s.b3[j] * s.ybb[j];
            if (std::fabs(s.x[j]) >= 1e8) overflow_stop(s, i, j);
            if (s.x[j] > P[j]) P[j] = s.x[j];
            if (s.x[j] < N[j]) N[j] = s.x[j];
            s.xbb[j] = s.xb[j];
            s.xb[j] = s.x[j];
            s.ybb[j] = s.yb[j];
            s.yb[j] = s.y;
        }
        ++i;
    } while (i < total);
}

void run_reference_spectrum(RunState& s)
{
    run_spectrum(s, s.ref_pos, s.ref_neg);
}

double run_signal_spectrum(RunState& s)
{
    run_spectrum(s, s.srs_pos, s.srs_neg);
    return spectrum_error(s);
}

double spectrum_error(const RunState& s)
{
    double err = 0;
    for (int j = 1; j <= s.nf; ++j) {
        if (s.sr / 8 < s.f[j]) break;
        if (s.f[j] < 10) continue;
        double e_pos, e_neg;
        if (s.f[j] <= s.f_ramp) {
            const double target = s.amp_ramp / std::pow(s.f_ramp / s.f[j], s.slope);
            e_pos = std::fabs(std::fabs(s.srs_pos[j]) - target);
            e_neg = std::fabs(std::fabs(s.srs_neg[j]) - target);
        } else {
            e_pos = std::fabs(std::fabs(s.ref_pos[j]) - std::fabs(s.srs_pos[j]));
            e_neg = std::fabs(std::fabs(s.ref_neg[j]) - std::fabs(s.srs_neg[j]));
        }
        err = (e_neg + e_pos) + err;
    }
    return err;
}
