// Segment levels of a trial's curve, and the curve and residual at every sample.
#pragma once

struct RunState;

// The forms the program uses: the fast ones (the straightforward ones in a build with
// DUNVALE_PLAIN).
// Sets level[0..nn-1] from means of amp_base around the breakpoints; takes one draw.
void compute_levels(RunState& s);

// Sets curve and amp (= amp_base - curve) at every sample, and their sum of squares ms.
void evaluate_curve(RunState& s);

// The straightforward forms: every window scans all samples, and every sample tries
// the segments from the first.
void compute_levels_plain(RunState& s);
void evaluate_curve_plain(RunState& s);

// The fast forms, bit for bit the same as the straightforward ones. Levels: when the
// times rise (times_rise), each window's samples are found by a binary search and summed
// in order; otherwise every window scans all samples. Curve: each sample starts its search
// at the first segment that can reach it, keeping the rule that the first segment in
// order that holds a sample takes it.
void compute_levels_fast(RunState& s);
void evaluate_curve_fast(RunState& s);

// Sets times_rise: 1 when xa[0..n-1] never falls and holds no NaN, else 0.
void check_times_rise(RunState& s);

// The level of the last breakpoint, from one draw and the last seven samples.
void draw_last_level(RunState& s);
