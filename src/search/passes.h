// The random search: passes of trials, and the end of each pass.
#pragma once

struct RunState;

// Refuses, with an error and exit status 1, a search on a record that ends before time
// zero (its breakpoint draw would never end); a run without pass or trial goes on.
void check_search_span(const RunState& s);

// Runs every pass; each ends with finish_pass. The record must have passed
// check_search_span.
void run_passes(RunState& s);

// Runs the trials of the current pass.
void run_trials(RunState& s);

// One trial: breakpoints, levels, curve, guards, spectrum and acceptance.
void run_one_trial(RunState& s);

// Prints the seconds since the run's start time.
void print_elapsed(const RunState& s);

// Removes the pass's best curve from the signal for good, then takes the straight
// line fitted before onset out of amp and adds it to best_curve.
void finish_pass(RunState& s);
