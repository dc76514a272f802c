#include "run/state.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>

const double PI = std::atan2(0.0, -1.0);
const double TPI = 2.0 * PI;

std::unique_ptr<RunState> make_run_state()
{
    std::unique_ptr<RunState> s(new RunState());
    s->con = stdout;
    s->ask = stdin;
    return s;
}

void stop_run(const RunState& s, const char* fmt, ...)
{
    std::fprintf(s.con, "\n Error: ");
    va_list args;
    va_start(args, fmt);
    std::vfprintf(s.con, fmt, args);
    va_end(args);
    std::fprintf(s.con, " \n");
    std::fflush(s.con);
#ifdef DUNVALE_FUZZ_HOOK
    // Fuzz builds only: the harness takes the stop back and goes on with the next input.
    fuzz_stop_hook();
#endif
    std::exit(1);
}
