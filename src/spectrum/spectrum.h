// Spectrum runs (positive and negative peak responses) and the fit error.
#pragma once

struct RunState;

// Number of zero-input samples that follow the signal so that the responses ring out.
long tail_count(double dt);

// Runs amp through the filter bank into ref_pos/ref_neg (the input's spectrum).
void run_reference_spectrum(RunState& s);

// Runs amp through the filter bank into srs_pos/srs_neg and returns the fit error.
double run_signal_spectrum(RunState& s);

// Clears srs_pos/srs_neg, the filter state and the peak tables P and N (all 125
// entries): every spectrum run starts from rest.
void clear_spectrum_run(RunState& s, double* P, double* N);

// The spectrum run that the program uses: the fast form (the straightforward one in a
// build with DUNVALE_PLAIN).
void run_spectrum(RunState& s, double* P, double* N);

// Vector units the fast spectrum run can work on. One build runs on any x86-64 and
// picks the widest one the processor has; every path gives the same bits.
enum VectorPath { path_default = 0, path_avx2 = 1, path_avx512 = 2 };
bool vector_path_supported(int path);
int best_vector_path();

// The fast spectrum run: the frequencies in blocks that each run through all samples,
// with every sum and product formed in the same order as the straightforward run, so
// the peaks are the same bits. A response of 1e8 or more shows in the final peaks; the
// run is then repeated the straightforward way, which reports the first failing sample
// and frequency and stops. The filter state is left as the straightforward run leaves
// it, but for the sign and payload of a NaN (which only the overflow lines of the
// straightforward run would print).
void run_spectrum_fast(RunState& s, double* P, double* N);
// The same on a given vector path (one that vector_path_supported accepts).
void run_spectrum_fast_on(RunState& s, double* P, double* N, int path);

// The straightforward spectrum run, one sample at a time for all frequencies, into
// the peak tables P and N. Stops the run with the overflow diagnostics when a response
// reaches 1e8 in magnitude.
void run_spectrum_plain(RunState& s, double* P, double* N);

// Fit error of srs_pos/srs_neg against the ramp and the reference spectrum.
double spectrum_error(const RunState& s);
