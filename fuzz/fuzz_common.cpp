#include "fuzz_common.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

std::jmp_buf fuzz_stop_point;

void fuzz_stop_hook()
{
    std::longjmp(fuzz_stop_point, 1);
}

void fuzz_enter_temp_dir()
{
    const char* base = std::getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/dunvale-fuzz-XXXXXX";
    if (!mkdtemp(&dir[0]) || chdir(dir.c_str()) != 0) fuzz_fail("cannot make the working folder");
}

void fuzz_fail(const char* what)
{
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

RunState& fuzz_state()
{
    static RunState* state = nullptr;
    if (!state) {
        state = make_run_state().release();
        state->con = std::fopen("/dev/null", "w");
        if (!state->con) fuzz_fail("cannot open /dev/null");
    }
    return *state;
}

static void close_stream(FILE*& stream)
{
    if (stream) std::fclose(stream);
    stream = nullptr;
}

void fuzz_reset(RunState& s)
{
    // An input may have filled up to n + 1 entries (the entry after the last is written
    // by a line that the 1,000,000 cap stops; n never exceeds the capacity).
    const long used = s.n < max_samples ? s.n + 1 : max_samples;
    std::memset(s.xa, 0, sizeof(double) * static_cast<std::size_t>(used));
    std::memset(s.amp, 0, sizeof(double) * static_cast<std::size_t>(used));
    std::memset(s.amp_base, 0, sizeof(double) * static_cast<std::size_t>(used));
    std::memset(s.curve, 0, sizeof(double) * static_cast<std::size_t>(used));
    s.n = 0;
    s.dt = s.sr = s.xone = s.t_last = 0;
    close_stream(s.in);
    close_stream(s.sat_out);
    close_stream(s.sig_out);
    close_stream(s.srs_out);
    close_stream(s.scratch);
    s.in_name[0] = s.sat_name[0] = s.sig_name[0] = s.srs_name[0] = s.scratch_name[0] = '\0';
    s.ntrials = s.npasses = s.max_pts = 0;
    s.slope = s.f_ramp = s.amp_ramp = 0;
    s.nn = 0;
    s.onset = 0;
    s.rand_state = 1;
}
