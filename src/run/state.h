// The one record of a run: every table and scalar that the stages share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

constexpr long max_samples = 1000000;  // capacity of the sample tables
constexpr int max_freqs = 125;         // capacity of the spectrum tables (index 0 unused)
constexpr int max_bps = 1000;          // capacity of the breakpoint and level tables
constexpr int name_size = 260;         // file names: 259 characters and a terminator

extern const double PI;
extern const double TPI;

struct RunState {
    // samples (index from 0)
    double xa[max_samples];
    double amp[max_samples];
    double amp_base[max_samples];
    double curve[max_samples];
    double best_curve[max_samples];
    long n;
    double dt, sr, xone, t_last;
    // 1 when the times xa[0..n-1] are known to rise (never fall, no NaN): set by
    // check_times_rise; 0 lets every search step scan all samples.
    int32_t times_rise;

    // streams and names
    FILE* con;  // console output (standard output in the program)
    FILE* ask;  // where the answers are read from (standard input in the program)
    FILE* in;
    FILE* sat_out;
    FILE* sig_out;
    FILE* srs_out;
    FILE* scratch;
    char in_name[name_size];
    char sat_name[name_size];
    char sig_name[name_size];
    char srs_name[name_size];
    char scratch_name[name_size];

    // search parameters
    int32_t ntrials, npasses, max_pts;
    double slope, f_ramp, amp_ramp;

    // filter bank (index from 1)
    double f[max_freqs];
    double a1[max_freqs], a2[max_freqs], b1[max_freqs], b2[max_freqs], b3[max_freqs];
    int32_t nf;
    double damp;
    double ref_pos[max_freqs], ref_neg[max_freqs];
    double srs_pos[max_freqs], srs_neg[max_freqs];
    // filter state of one spectrum run
    double x[max_freqs], xb[max_freqs], xbb[max_freqs], yb[max_freqs], ybb[max_freqs];
    double y;

    // one trial
    double bp[max_bps], level[max_bps];
    int32_t nn;
    double onset;
    double ms, rms, err, best_err;
    int32_t pass, trial, progress;
    long start_time;

    uint32_t rand_state = 1;  // the random stream starts from 1 in every run
};

// Allocates a run state with every field zero (the random state at its start value),
// the console on standard output and the answers on standard input.
// This is the only allocation of a run.
std::unique_ptr<RunState> make_run_state();

// Prints one error line to the console and ends the process with status 1.
[[noreturn]] void stop_run(const RunState& s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

#ifdef DUNVALE_FUZZ_HOOK
// Defined by the fuzz harness, which never returns from it (it jumps back to the harness).
[[noreturn]] void fuzz_stop_hook();
#endif
