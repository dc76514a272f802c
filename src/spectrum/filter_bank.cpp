#include "spectrum/filter_bank.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "run/state.h"

// The preferred one-third-octave frequencies from 2.5 Hz to 20 kHz, as exact decimals.
static const double third_octaves[40] = {
    2.5,   3.15,  4,     5,     6.3,   8,     10,    12.5,  16,    20,
    25,    31.5,  40,    50,    63,    80,    100,   125,   160,   200,
    250,   315,   400,   500,   630,   800,   1000,  1250,  1600,  2000,
    2500,  3150,  4000,  5000,  6300,  8000,  10000, 12500, 16000, 20000};

void fill_filter_bank(RunState& s)
{
    for (int k = 0; k < 40; ++k) s.f[2 * k + 1] = third_octaves[k];
    for (int i = 2; i <= 78; i += 2) s.f[i] = std::sqrt(s.f[i - 1] * s.f[i + 1]);
    s.nf = 78;
    s.damp = 0.05;

    for (int j = 1; j <= s.nf; ++j) {
        const double omega = TPI * s.f[j];
        const double omegad = std::sqrt(1 - std::pow(s.damp, 2.0)) * omega;
        const double cos_d = std::cos(omegad * s.dt);
        const double sin_d = std::sin(omegad * s.dt);
        const double e = (s.damp * omega) * s.dt;
        s.a1[j] = (2 * std::exp(-e)) * cos_d;
        s.a2[j] = -std::exp(-2 * e);
        s.b1[j] = 2 * e;
        s.b2[j] = (((1 - 2 * std::pow(s.damp, 2.0)) * (omega / omegad)) * sin_d - (2 * s.damp) * cos_d) *
                  (std::exp(-e) * (omega * s.dt));
        s.b3[j] = 0;
    }
}

void build_filter_bank(RunState& s)
{
    fill_filter_bank(s);
    const std::time_t now = std::time(nullptr);
    s.start_time = static_cast<long>(now);
    std::fprintf(s.con, "\n\n Current time and date: \n   %s", std::ctime(&now));
}
