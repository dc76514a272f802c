#include <cstdio>

#include "run/run.h"
#include "run/state.h"

int main()
{
    auto state = make_run_state();
    state->ask = stdin;
    return run_program(*state);
}
