// The bank of single-degree-of-freedom filters of the shock response spectrum.
#pragma once

struct RunState;

// Fills the frequency table and the filter coefficients for the sample interval,
// then takes the run's start time and prints the date line.
void build_filter_bank(RunState& s);

// The frequency table and coefficients alone, without the clock and the date line.
void fill_filter_bank(RunState& s);
