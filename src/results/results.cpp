#include "results/results.h"

#include <cmath>
#include <cstdio>

#include "run/state.h"
#include "spectrum/spectrum.h"

void write_time_value(FILE* out, double t, double v)
{
    std::fprintf(out, "%14.7e \t %14.7e \n", t, v);
}

void write_spectrum_line(FILE* out, const RunState& s, int j)
{
    std::fprintf(out, " %12.5g \t %8.4g \t %8.4g \n", s.f[j], s.srs_pos[j], std::fabs(s.srs_neg[j]));
}

void write_results(RunState& s)
{
    std::fprintf(s.con, "\n ref 1 \n");
    for (long i = 0; i < s.n; ++i) {
        write_time_value(s.sat_out, s.xa[i], s.best_curve[i]);
        write_time_value(s.sig_out, s.xa[i], s.amp[i]);
    }
    std::fprintf(s.con, "\n ref 2 \n");
    run_signal_spectrum(s);
    std::fprintf(s.con, "\n ref 3 \n");
    for (int j = 1; j <= s.nf; ++j) {
        if (s.f[j] < 10) continue;
        write_spectrum_line(s.srs_out, s, j);
    }
    std::fprintf(s.con, "\n\n Output Files: \n\n");
    std::fprintf(s.con, " %s \n", s.sat_name);
    std::fprintf(s.con, " %s \n", s.sig_name);
    std::fprintf(s.con, " %s \n", s.srs_name);
}

void close_results(RunState& s)
{
    std::fclose(s.sat_out);
    std::fclose(s.sig_out);
    std::fclose(s.srs_out);
    s.sat_out = s.sig_out = s.srs_out = nullptr;
}
