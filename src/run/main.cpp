#include <cstdio>

#include "run/run.h"
#include "run/state.h"

int main()
{
    auto state = make_run_state();
    return run_program(*state);
}
