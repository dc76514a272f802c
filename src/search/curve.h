// Segment levels of a trial's curve, and the curve and residual at every sample.
#pragma once

struct RunState;

// Sets level[0..nn-1] from means of amp_base around the breakpoints; takes one draw.
void compute_levels(RunState& s);

// Sets curve and amp (= amp_base - curve) at every sample, and their sum of squares ms.
void evaluate_curve(RunState& s);

// The straightforward forms: every window scans all samples, and every sample tries
// the segments from the first.
void compute_levels_plain(RunState& s);
void evaluate_curve_plain(RunState& s);

// The level of the last breakpoint, from one draw and the last seven samples.
void draw_last_level(RunState& s);
