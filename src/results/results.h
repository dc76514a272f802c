// The three result files and the closing report.
#pragma once

#include <cstdio>

struct RunState;

// Writes the saturation, corrected-signal and spectrum files and lists them.
void write_results(RunState& s);

// Closes the three result streams.
void close_results(RunState& s);

// One line of the saturation or corrected-signal file.
void write_time_value(FILE* out, double t, double v);

// One line of the spectrum file for frequency j.
void write_spectrum_line(FILE* out, const RunState& s, int j);

// The spectrum file: srs_pos/srs_neg at every frequency from 10 Hz up.
void write_spectrum_lines(FILE* out, const RunState& s);
