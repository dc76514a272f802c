#include "run/state.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>

const double PI = std::atan2(0.0, -1.0);
const double TPI = 2.0 * PI;

std::unique_ptr<RunState> make_run_state()
{
    return std::unique_ptr<RunState>(new RunState());
}

void stop_run(const char* fmt, ...)
{
    std::printf("\n Error: ");
    va_list args;
    va_start(args, fmt);
    std::vprintf(fmt, args);
    va_end(args);
    std::printf(" \n");
    std::exit(1);
}
