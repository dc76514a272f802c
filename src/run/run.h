// The stages of a run, in their fixed order.
#pragma once

struct RunState;

// Runs the whole program on the state; returns the exit status of a normal run.
int run_program(RunState& s);
