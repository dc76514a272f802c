// Spectrum runs (positive and negative peak responses) and the fit error.
#pragma once

struct RunState;

// Number of zero-input samples that follow the signal so that the responses ring out.
long tail_count(double dt);

// Runs amp through the filter bank into ref_pos/ref_neg (the input's spectrum).
void run_reference_spectrum(RunState& s);

// Runs amp through the filter bank into srs_pos/srs_neg and returns the fit error.
double run_signal_spectrum(RunState& s);

// The straightforward spectrum run, one sample at a time for all frequencies, into
// the peak tables P and N. Stops the run with the overflow diagnostics when a response
// reaches 1e8 in magnitude.
void run_spectrum_plain(RunState& s, double* P, double* N);

// Fit error of srs_pos/srs_neg against the ramp and the reference spectrum.
double spectrum_error(const RunState& s);
