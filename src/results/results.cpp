#include "results/results.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

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

void write_spectrum_lines(FILE* out, const RunState& s)
{
    for (int j = 1; j <= s.nf; ++j) {
        if (s.f[j] < 10) continue;
        write_spectrum_line(out, s, j);
    }
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
    write_spectrum_lines(s.srs_out, s);
    std::fprintf(s.con, "\n\n Output Files: \n\n");
    std::fprintf(s.con, " %s \n", s.sat_name);
    std::fprintf(s.con, " %s \n", s.sig_name);
    std::fprintf(s.con, " %s \n", s.srs_name);
}

// Closes one result stream; a write that failed (a full disk, for one) is an error,
// so that a cut result file is never taken for a whole one.
static void close_result(const RunState& s, FILE*& stream, const char* what, const char* name)
{
    const bool failed = std::ferror(stream) != 0;
    const int closed = std::fclose(stream);
    const int error = errno;
    stream = nullptr;
    if (failed || closed != 0)
        stop_run(s, "the %s file %s could not be written in full (%s); it is incomplete. Free some space and run again.",
                 what, name, failed && closed == 0 ? "write error" : std::strerror(error));
}

void close_results(RunState& s)
{
    close_result(s, s.sat_out, "saturation", s.sat_name);
    close_result(s, s.sig_out, "corrected-signal", s.sig_name);
    close_result(s, s.srs_out, "SRS", s.srs_name);
}
